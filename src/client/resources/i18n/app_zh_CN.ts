<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Localizable</name>
    <message>
        <source>Ferroluxer</source>
        <translation>Ferroluxer</translation>
    </message>
    <message>
        <source>Changename</source>
        <translation>切换账号…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>退出</translation>
    </message>
</context>
</TS>
