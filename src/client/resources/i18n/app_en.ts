<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>Ferroluxer</source>
        <translation>Ferroluxer</translation>
    </message>
    <message>
        <source>Changename</source>
        <translation>Change Account…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Quit</translation>
    </message>
</context>
</TS>
