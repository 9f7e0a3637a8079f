// The token-based REST calls of HTTPService.

#include "client/service/HTTPService.h"
#include "client/service/ServiceText.h"

#include "client/models/KeyMappedRecord.h"
#include "client/network/HTTPManager.h"
#include "foundation/BaseTools.h"
#include "foundation/Record.h"

namespace {

// The client's credentials at the service.
constexpr auto kClientId = "x5e71c0d2a94b3f8e26";
constexpr auto kClientSecret = "3c9d1e7f05b2a8c46e0f9d2b71a5c83e";

constexpr auto kTokenPath = "/api/Token/get?grant_type=client_credential&client_id=%1"
                            "&client_secret=%2";
constexpr auto kFtpPath = "/api/v1.Tools/ftp";
constexpr auto kEntInfoPath = "/api/v1.Ent/info";
constexpr auto kRegisterPath = "/api/v1.Tools/register";
constexpr auto kPrintingAddPath = "/api/v1.Printing/add";

constexpr auto kData = "data";
constexpr auto kToken = "token";
constexpr auto kId = "id";
constexpr auto kEquid = "equid";

constexpr int kToolType = 2;
constexpr int kSystemType = 3;
constexpr auto kClientName = u8"LirabelMac客户端";
constexpr auto kHostKind = "Mac";

// A member of the reply's "data" object; undefined when either is missing.
QJsonValue dataMember(const QJsonObject &reply, const char *name)
{
    const QJsonValue data = reply.value(latin1(kData));
    if (!data.isObject())
        return QJsonValue::Undefined;
    return data.toObject().value(latin1(name));
}

} // namespace

QCoro::Task<Result<QString>> HTTPService::getToken()
{
    const QString path = latin1(kTokenPath).arg(latin1(kClientId), latin1(kClientSecret));
    auto request = m_transport.requestWithApiName(path, {}, HTTPManager::Method::GET);
    const Result<QJsonObject> reply = co_await std::move(request);
    if (!reply)
        co_return reply.error();
    const QString token =
        Record::valueForType(dataMember(reply.value(), kToken), QMetaType::fromType<QString>())
            .toString();
    m_transport.setToken(token);
    co_return token;
}

QCoro::Task<Result<std::optional<CSFTPResult>>> HTTPService::getFTPInfo()
{
    auto request = m_transport.requestWithApiName(latin1(kFtpPath), {}, HTTPManager::Method::GET);
    const Result<QJsonObject> reply = co_await std::move(request);
    if (!reply)
        co_return reply.error();
    const QJsonValue data = reply->value(latin1(kData));
    if (!data.isObject())
        co_return std::optional<CSFTPResult>();
    co_return std::optional<CSFTPResult>(KeyMappedRecord::fromJson<CSFTPResult>(data.toObject()));
}

QCoro::Task<Result<QJsonValue>> HTTPService::getEntInfoWithEntKey(QString entKey)
{
    const QJsonObject form{{QStringLiteral("entkey"), entKey}};
    auto request =
        m_transport.requestWithApiName(latin1(kEntInfoPath), form, HTTPManager::Method::POST);
    const Result<QJsonObject> reply = co_await std::move(request);
    if (!reply)
        co_return reply.error();
    co_return dataMember(reply.value(), kId);
}

QCoro::Task<Result<QJsonObject>> HTTPService::registerClientWithEntId(QString entId,
                                                                      const SettingsStore &settings)
{
    // Read now: the settings need not outlive the request.
    const QJsonObject form{{QStringLiteral("ent_id"), entId},
                           {QStringLiteral("tool_type"), kToolType},
                           {QStringLiteral("name"), QString::fromUtf8(kClientName)},
                           {QStringLiteral("ip"), BaseTools::getIPAddress()},
                           {QStringLiteral("mac"), BaseTools::getMacAddress()},
                           {QStringLiteral("host"), latin1(kHostKind)},
                           {QStringLiteral("flag"), settings.uuid()},
                           {QStringLiteral("version"), BaseTools::getVersion()},
                           {QStringLiteral("system_type"), kSystemType}};
    return m_transport.requestWithApiName(latin1(kRegisterPath), form, HTTPManager::Method::POST);
}

QCoro::Task<Result<QJsonValue>> HTTPService::addSubmitJob(CSAddSubmitJobRequestModel request)
{
    auto registration = m_transport.requestWithApiName(
        latin1(kPrintingAddPath), Record::toJson(request), HTTPManager::Method::POST);
    const Result<QJsonObject> reply = co_await std::move(registration);
    if (!reply)
        co_return reply.error();
    co_return dataMember(reply.value(), kEquid);
}
