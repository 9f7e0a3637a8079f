<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>Tarvello</source>
        <translation>Tarvello</translation>
    </message>
    <message>
        <source>Logining ...</source>
        <translation>Logging in ...</translation>
    </message>
    <message>
        <source>Login successful</source>
        <translation>Login successful</translation>
    </message>
    <message>
        <source>Uploading ...</source>
        <translation>Uploading ...</translation>
    </message>
    <message>
        <source>Upload succesd</source>
        <translation>Upload succeeded</translation>
    </message>
    <message>
        <source>File processed successfully</source>
        <translation>File processed successfully</translation>
    </message>
    <message>
        <source>File processed failed</source>
        <translation>File processing failed</translation>
    </message>
    <message>
        <source>No need to update</source>
        <translation>You already have the latest version.</translation>
    </message>
</context>
</TS>
