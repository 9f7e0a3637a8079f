<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Localizable</name>
    <message>
        <source>Company key</source>
        <translation>企业码</translation>
    </message>
    <message>
        <source>Please enter your company Key</source>
        <translation>请输入企业码</translation>
    </message>
    <message>
        <source>User name</source>
        <translation>用户名</translation>
    </message>
    <message>
        <source>Please enter your user name</source>
        <translation>请输入用户名</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>Please enter your password</source>
        <translation>请输入密码</translation>
    </message>
    <message>
        <source>Save account</source>
        <translation>记住账号</translation>
    </message>
</context>
</TS>
