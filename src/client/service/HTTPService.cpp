#include "HTTPService.h"

#include "ServiceText.h"

#include "client/network/HTTPManager.h"
#include "foundation/Record.h"
#include "foundation/logging/Log.h"

#include <QJsonDocument>

namespace {

constexpr auto kFunType = "funType";
constexpr auto kEntkey = "entkey";
constexpr auto kDate = "date";
constexpr auto kDalvemorKeys = "DalvemorKeys";
constexpr auto kUserName = "userName";
constexpr auto kUserPwd = "userPwd";
constexpr auto kIsSystem = "isSystem";
constexpr auto kUserId = "user_id";
constexpr auto kIsSystemOn = "1";
constexpr auto kIsSystemOff = "0";
// Named here: inside a coroutine the compiler reports the frame's function instead.
constexpr auto kLoginOperation = "HTTPService::loginWithUserName";

} // namespace

HTTPService &HTTPService::sharedInstance()
{
    static HTTPService *const service = new HTTPService(HTTPManager::sharedClient());
    return *service;
}

HTTPService::HTTPService(HTTPManager &transport)
    : m_transport(transport)
{}

QCoro::Task<Result<QJsonObject>> HTTPService::getDalvemorKeyWithEntKey(QString entKey)
{
    const QJsonObject form{{latin1(kFunType), latin1(kGetKeys)}, {latin1(kEntkey), entKey}};
    return m_transport.requestWithParameters(form, HTTPManager::Method::POST);
}

QCoro::Task<Result<VQLoginResult>> HTTPService::loginWithUserName(QString userName,
                                                                  QString password, QString entkey)
{
    auto keyRequest = freshKeyPair(entkey);
    const Result<KeyPair> pair = co_await std::move(keyRequest);
    if (!pair)
        co_return pair.error();

    const QJsonObject login{{latin1(kFunType), latin1(kUserLogin)},
                            {latin1(kDalvemorKeys), pair->keys},
                            {latin1(kDate), pair->date},
                            {latin1(kEntkey), entkey},
                            {latin1(kUserName), userName},
                            {latin1(kUserPwd), password}};
    auto loginRequest = postJson(login);
    const Result<QJsonObject> reply = co_await std::move(loginRequest);
    if (!reply) {
        const Error &error = reply.error();
        Log::debug(QStringLiteral("%1, error code: %2, error msg:%3")
                       .arg(latin1(kLoginOperation))
                       .arg(error.code)
                       .arg(HTTPManager::parseNetErrCode(error.code)));
        co_return error;
    }
    auto identity = Record::fromJson<VQLoginResult>(reply.value());
    identity.date = pair->date;
    identity.DalvemorKeys = pair->keys;
    co_return identity;
}

QCoro::Task<Result<VQJobInfoResult>>
HTTPService::addSubmitJobInfo(VQAddSubmitJobInfoRequest request)
{
    auto registration = postJson(Record::toJson(request));
    const Result<QJsonObject> reply = co_await std::move(registration);
    if (!reply)
        co_return reply.error();
    co_return Record::fromJson<VQJobInfoResult>(reply.value());
}

QCoro::Task<Result<VQJobInfoResult>>
HTTPService::getFtpInfoWithUserId(QString userId, QString entKey, bool isSystem)
{
    auto keyRequest = freshKeyPair(entKey);
    const Result<KeyPair> pair = co_await std::move(keyRequest);
    if (!pair)
        co_return pair.error();

    const QJsonObject ftpInfo{{latin1(kFunType), latin1(kGetFtpInfo)},
                              {latin1(kDalvemorKeys), pair->keys},
                              {latin1(kDate), pair->date},
                              {latin1(kIsSystem), latin1(isSystem ? kIsSystemOn : kIsSystemOff)},
                              {latin1(kUserId), userId}};
    auto ftpRequest = postJson(ftpInfo);
    const Result<QJsonObject> reply = co_await std::move(ftpRequest);
    if (!reply)
        co_return reply.error();
    co_return Record::fromJson<VQJobInfoResult>(reply.value());
}

QCoro::Task<Result<QJsonObject>> HTTPService::fileFtpUploadInfo(VQFileFtpUploadInfoRequest &request,
                                                                QString entkey)
{
    auto keyRequest = freshKeyPair(entkey);
    const Result<KeyPair> pair = co_await std::move(keyRequest);
    if (!pair)
        co_return pair.error();

    request.date = pair->date;
    request.DalvemorKeys = pair->keys;
    auto report = postJson(Record::toJson(request));
    co_return co_await std::move(report);
}

QCoro::Task<Result<HTTPService::KeyPair>> HTTPService::freshKeyPair(QString entKey)
{
    auto keyRequest = getDalvemorKeyWithEntKey(entKey);
    const Result<QJsonObject> reply = co_await std::move(keyRequest);
    if (!reply)
        co_return reply.error();
    KeyPair pair{textMember(reply.value(), kDate), textMember(reply.value(), kDalvemorKeys)};
    if (pair.date.isNull() || pair.keys.isNull()) {
        // Without a pair the service refuses the request anyway; stop here with a clear line.
        const Error error = HTTPManager::serviceError(HTTPManager::kUnreadableErrcode);
        Log::client(QStringLiteral("!!error: the key reply holds no \"%1\" and \"%2\" pair")
                        .arg(latin1(kDate), latin1(kDalvemorKeys)));
        co_return error;
    }
    co_return pair;
}

QCoro::Task<Result<QJsonObject>> HTTPService::postJson(QJsonObject request)
{
    const QJsonObject form{{latin1(kJsonStrField), QString::fromUtf8(QJsonDocument(request).toJson(
                                                       QJsonDocument::Compact))}};
    auto post = m_transport.requestWithParameters(form, HTTPManager::Method::POST);
    co_return co_await std::move(post);
}
