<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>NetErrCode_Success</source>
        <translation>Success</translation>
    </message>
    <message>
        <source>NetErrCode_NotExistedId</source>
        <translation>The account does not exist.</translation>
    </message>
    <message>
        <source>NetErrCode_WrongPassword</source>
        <translation>Wrong password.</translation>
    </message>
    <message>
        <source>NetErrCode_ExistId</source>
        <translation>The account already exists.</translation>
    </message>
    <message>
        <source>NetErrCode_RegisterFailed</source>
        <translation>Registration failed.</translation>
    </message>
    <message>
        <source>NetErrCode_IdExpire</source>
        <translation>The account has expired.</translation>
    </message>
    <message>
        <source>NetErrCode_IdForbidden</source>
        <translation>The account is disabled.</translation>
    </message>
    <message>
        <source>NetErrCode_NotExistedDomain</source>
        <translation>The company key does not exist.</translation>
    </message>
    <message>
        <source>NetErrCode_IdDeleted</source>
        <translation>The account has been deleted.</translation>
    </message>
    <message>
        <source>NetErrCode_IterantId</source>
        <translation>The account exists more than once.</translation>
    </message>
    <message>
        <source>NetErrCode_NotExistedProject</source>
        <translation>The project does not exist.</translation>
    </message>
    <message>
        <source>NetErrCode_NoProjectPermision</source>
        <translation>You have no permission for this project.</translation>
    </message>
    <message>
        <source>NetErrCode_FileNameException</source>
        <translation>The file name is not accepted.</translation>
    </message>
    <message>
        <source>NetErrCode_FileTypeException</source>
        <translation>The file type is not accepted.</translation>
    </message>
    <message>
        <source>NetErrCode_PageToplimit</source>
        <translation>The page limit has been reached.</translation>
    </message>
    <message>
        <source>NetErrCode_SizeToplimit</source>
        <translation>The file size limit has been reached.</translation>
    </message>
    <message>
        <source>NetErrCode_CommitJobToplimit</source>
        <translation>The limit of submitted jobs has been reached.</translation>
    </message>
    <message>
        <source>NetErrCode_JobToplimit</source>
        <translation>The job limit has been reached.</translation>
    </message>
    <message>
        <source>NetErrCode_PrintToplimit</source>
        <translation>The print limit has been reached.</translation>
    </message>
    <message>
        <source>NetErrCode_AddFailed</source>
        <translation>The job could not be added.</translation>
    </message>
    <message>
        <source>NetErrCode_NotExistedJob</source>
        <translation>The job does not exist.</translation>
    </message>
    <message>
        <source>NetErrCode_WaitVerify</source>
        <translation>Waiting for approval.</translation>
    </message>
    <message>
        <source>NetErrCode_KMConfigFailed</source>
        <translation>The device configuration failed.</translation>
    </message>
    <message>
        <source>NetErrCode_DeleteFailed</source>
        <translation>Deleting failed.</translation>
    </message>
    <message>
        <source>NetErrCode_NotFoundPrinter</source>
        <translation>The printer was not found.</translation>
    </message>
    <message>
        <source>NetErrCode_LostParameter</source>
        <translation>A required parameter is missing.</translation>
    </message>
    <message>
        <source>NetErrCode_ParameterFormatErr</source>
        <translation>A parameter has the wrong format.</translation>
    </message>
    <message>
        <source>NetErrCode_SignatureErr</source>
        <translation>The request signature is not valid.</translation>
    </message>
    <message>
        <source>NetErrCode_PostOnly</source>
        <translation>Only POST requests are accepted.</translation>
    </message>
    <message>
        <source>NetErrCode_ParameterValueErr</source>
        <translation>A parameter has an invalid value.</translation>
    </message>
    <message>
        <source>NetErrCode_SysErr</source>
        <translation>System error.</translation>
    </message>
    <message>
        <source>NetErrCode_NetErr</source>
        <translation>Network error.</translation>
    </message>
    <message>
        <source>NetErrCode_UnkonwnErr</source>
        <translation>Unknown error.</translation>
    </message>
</context>
</TS>
