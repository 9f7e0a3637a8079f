#include "RestRoutes.h"

#include "AccountStore.h"
#include "FormBody.h"
#include "HttpEndpoint.h"
#include "RequestLog.h"
#include "ServiceAnswer.h"
#include "ServiceApi.h"
#include "ServiceErrcode.h"

#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QUuid>

#include <memory>

namespace {

constexpr auto kContentType = "application/json; charset=utf-8";
constexpr auto kGrantType = "client_credential";
constexpr auto kFtpDirectory = "/";

const QStringList kRegisterFields{"ent_id", "tool_type", "name",    "ip",         "mac",
                                  "host",   "flag",      "version", "system_type"};
const QStringList kPrintingFields{"user_id", "doc_name", "total_page"};

QJsonObject data(const QJsonObject &members)
{
    return ServiceAnswer::success({{"data", members}});
}

// The first of the fields that the form lacks; null when it has them all.
QString missingField(const QJsonObject &form, const QStringList &fields)
{
    for (const QString &field : fields) {
        if (!form.contains(field))
            return field;
    }
    return {};
}

// Ids travel as numbers on these paths when they are numbers.
QJsonValue idValue(const QString &id)
{
    bool numeric = false;
    const qint64 number = id.toLongLong(&numeric);
    return numeric ? QJsonValue(number) : QJsonValue(id);
}

} // namespace

void RestRoutes::addTo(HttpEndpoint &endpoint, const AccountStore &accounts,
                       const FtpTargets &ftpTargets, RequestLog &log)
{
    const auto routes = std::shared_ptr<RestRoutes>(new RestRoutes(accounts, ftpTargets, log));
    const auto add = [&endpoint, routes](const QString &path, bool postOnly, Answer answer) {
        endpoint.addRoute(
            QLatin1String(ServiceApi::kPath) + path,
            [routes, path, postOnly, answer](const QHttpServerRequest &request, HttpReply reply) {
                routes->handle(path, postOnly, answer, request, reply);
            });
    };
    RestRoutes *self = routes.get();
    add("/api/Token/get", false,
        [self](const QUrlQuery &query, const QJsonObject &) { return self->token(query); });
    add("/api/v1.Tools/ftp", false,
        [self](const QUrlQuery &, const QJsonObject &) { return self->ftp(); });
    add("/api/v1.Ent/info", true,
        [self](const QUrlQuery &, const QJsonObject &form) { return self->entInfo(form); });
    add("/api/v1.Tools/register", true,
        [self](const QUrlQuery &, const QJsonObject &form) { return self->registerClient(form); });
    add("/api/v1.Printing/add", true,
        [self](const QUrlQuery &, const QJsonObject &form) { return self->addPrinting(form); });
}

RestRoutes::RestRoutes(const AccountStore &accounts, const FtpTargets &ftpTargets, RequestLog &log)
    : m_accounts(accounts)
    , m_ftpTargets(ftpTargets)
    , m_log(log)
{}

void RestRoutes::handle(const QString &path, bool postOnly, const Answer &answer,
                        const QHttpServerRequest &request, const HttpReply &reply)
{
    const bool isPost = request.method() == QHttpServerRequest::Method::Post;
    const std::optional<QJsonObject> form = FormBody::decode(request.body());

    QJsonObject answered;
    if (postOnly && !isPost)
        answered = ServiceAnswer::refusal(ServiceErrcode::PostOnly, QStringLiteral("POST only"));
    else if (!postOnly && request.method() != QHttpServerRequest::Method::Get)
        answered =
            ServiceAnswer::refusal(ServiceErrcode::ParameterFormatErr, QStringLiteral("GET only"));
    else if (!form)
        answered = ServiceAnswer::refusal(ServiceErrcode::ParameterFormatErr,
                                          QStringLiteral("the form body does not decode"));
    else
        answered = answer(QUrlQuery(request.url()), *form);

    const QByteArray body = QJsonDocument(answered).toJson(QJsonDocument::Compact);
    QJsonObject entry = ServiceApi::describe(request);
    entry.insert("rest", path);
    entry.insert("form", form.value_or(QJsonObject()));
    entry.insert("reply", QJsonObject{{"status", 200},
                                      {"contentType", QString::fromLatin1(kContentType)},
                                      {"errcode", ServiceAnswer::errcodeOf(answered)},
                                      {"answer", answered}});
    m_log.append(entry);
    reply.send(QHttpServerResponder::StatusCode::Ok, kContentType, body);
}

QJsonObject RestRoutes::token(const QUrlQuery &query) const
{
    for (const char *field : {"grant_type", "client_id", "client_secret"}) {
        if (!query.hasQueryItem(QLatin1String(field)))
            return ServiceAnswer::refusal(ServiceErrcode::LostParameter,
                                          QStringLiteral("%1 is missing").arg(field));
    }
    if (query.queryItemValue("grant_type") != QLatin1String(kGrantType) ||
        query.queryItemValue("client_id") != QLatin1String(kClientId) ||
        query.queryItemValue("client_secret") != QLatin1String(kClientSecret))
        return ServiceAnswer::refusal(ServiceErrcode::SignatureErr,
                                      QStringLiteral("unknown client credentials"));
    return data({{"token", QUuid::createUuid().toString(QUuid::Id128)}});
}

QJsonObject RestRoutes::ftp() const
{
    const FtpTargets::Server &server = m_ftpTargets.jobServer;
    return data({{"id", kFtpConfigId},
                 {"ftp_ip", server.host},
                 {"ftp_pwd", server.password},
                 {"ftp_port", server.port},
                 {"ftp_absolute_dir", kFtpDirectory},
                 {"http_type", 0},
                 {"ftp_user", server.user},
                 {"http_port", 0},
                 {"ftp_virtual_dir", kFtpDirectory},
                 {"http_virtual_name", ""},
                 {"http_ip", server.host}});
}

QJsonObject RestRoutes::entInfo(const QJsonObject &form) const
{
    if (!form.contains("entkey"))
        return ServiceAnswer::refusal(ServiceErrcode::LostParameter,
                                      QStringLiteral("entkey is missing"));
    const QString entId = m_accounts.enterpriseId(form.value("entkey").toString());
    if (entId.isNull())
        return ServiceAnswer::refusal(ServiceErrcode::NotExistedDomain,
                                      QStringLiteral("unknown company key"));
    return data({{"id", idValue(entId)}});
}

QJsonObject RestRoutes::registerClient(const QJsonObject &form)
{
    if (const QString missing = missingField(form, kRegisterFields); !missing.isNull())
        return ServiceAnswer::refusal(ServiceErrcode::LostParameter,
                                      QStringLiteral("%1 is missing").arg(missing));
    const QString entId = form.value("ent_id").toString();
    const bool known =
        std::any_of(m_accounts.accounts().begin(), m_accounts.accounts().end(),
                    [&](const SimAccount &account) { return account.entId == entId; });
    if (!known)
        return ServiceAnswer::refusal(ServiceErrcode::NotExistedDomain,
                                      QStringLiteral("unknown enterprise id"));
    return data({{"id", m_nextClientId++}, {"flag", form.value("flag")}});
}

QJsonObject RestRoutes::addPrinting(const QJsonObject &form)
{
    if (const QString missing = missingField(form, kPrintingFields); !missing.isNull())
        return ServiceAnswer::refusal(ServiceErrcode::LostParameter,
                                      QStringLiteral("%1 is missing").arg(missing));
    return data({{"equid", QString::number(m_nextEquid++)}});
}
