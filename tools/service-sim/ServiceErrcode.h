#pragma once

// The service's "errcode" values that the simulator answers with. The client turns each into its
// own message key; 0 and 21 are successes.
namespace ServiceErrcode {

constexpr int Success = 0;
constexpr int NotExistedId = 1;
constexpr int WrongPassword = 2;
constexpr int NotExistedDomain = 7;
constexpr int FileNameException = 12;
constexpr int FileTypeException = 13;
constexpr int NotExistedJob = 20;
constexpr int WaitVerify = 21;
constexpr int LostParameter = 70;
constexpr int ParameterFormatErr = 71;
constexpr int SignatureErr = 72;
constexpr int PostOnly = 73;
constexpr int ParameterValueErr = 74;

constexpr bool isSuccess(int errcode)
{
    return errcode == Success || errcode == WaitVerify;
}

} // namespace ServiceErrcode
