<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>Company key</source>
        <translation>Company</translation>
    </message>
    <message>
        <source>Please enter your company Key</source>
        <translation>Please enter your company key</translation>
    </message>
    <message>
        <source>User name</source>
        <translation>User</translation>
    </message>
    <message>
        <source>Please enter your user name</source>
        <translation>Please enter your user name</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Please enter your password</source>
        <translation>Please enter your password</translation>
    </message>
    <message>
        <source>Save account</source>
        <translation>Remember</translation>
    </message>
</context>
</TS>
