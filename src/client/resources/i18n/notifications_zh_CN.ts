<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Localizable</name>
    <message>
        <source>Tarvello</source>
        <translation>Tarvello</translation>
    </message>
    <message>
        <source>Logining ...</source>
        <translation>正在登录...</translation>
    </message>
    <message>
        <source>Login successful</source>
        <translation>登录成功</translation>
    </message>
    <message>
        <source>Uploading ...</source>
        <translation>正在上传...</translation>
    </message>
    <message>
        <source>Upload succesd</source>
        <translation>上传成功</translation>
    </message>
    <message>
        <source>File processed successfully</source>
        <translation>文件处理成功</translation>
    </message>
    <message>
        <source>File processed failed</source>
        <translation>文件处理失败</translation>
    </message>
    <message>
        <source>No need to update</source>
        <translation>已是最新版本，无需更新</translation>
    </message>
</context>
</TS>
