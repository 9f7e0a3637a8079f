#include "ControlApi.h"

#include "FaultPlan.h"
#include "HttpEndpoint.h"
#include "RequestLog.h"
#include "ServiceApi.h"

#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>

namespace {

using Status = QHttpServerResponder::StatusCode;

void sendError(const HttpReply &reply, Status status, const QString &message)
{
    reply.sendJson({{"error", message}}, status);
}

} // namespace

ControlApi::ControlApi(FaultPlan &faults, RequestLog &log, ServiceApi &api)
    : m_faults(faults)
    , m_log(log)
    , m_api(api)
{}

void ControlApi::addRoutes(HttpEndpoint &endpoint)
{
    endpoint.addRoute(kRequestsPath, [this](const QHttpServerRequest &request, HttpReply reply) {
        requests(request, reply);
    });
    endpoint.addRoute(kControlPath, [this](const QHttpServerRequest &request, HttpReply reply) {
        control(request, reply);
    });
}

void ControlApi::requests(const QHttpServerRequest &request, const HttpReply &reply)
{
    switch (request.method()) {
    case QHttpServerRequest::Method::Get: {
        const QString funType = request.query().queryItemValue("funType", QUrl::FullyDecoded);
        QJsonArray selected;
        for (const QJsonValue &entry : m_log.entries()) {
            if (funType.isEmpty() || entry.toObject().value("funType").toString() == funType)
                selected.append(entry);
        }
        reply.sendJson({{"requests", selected}});
        return;
    }
    case QHttpServerRequest::Method::Delete: {
        const qsizetype count = m_log.entries().size();
        m_log.clear();
        reply.sendJson({{"cleared", count}});
        return;
    }
    default:
        sendError(reply, Status::MethodNotAllowed, QStringLiteral("use GET or DELETE"));
    }
}

void ControlApi::control(const QHttpServerRequest &request, const HttpReply &reply)
{
    if (request.method() == QHttpServerRequest::Method::Get) {
        reply.sendJson(state());
        return;
    }
    if (request.method() != QHttpServerRequest::Method::Post) {
        sendError(reply, Status::MethodNotAllowed, QStringLiteral("use GET or POST"));
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(request.body(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        sendError(reply, Status::BadRequest, QStringLiteral("the body must be a JSON object"));
        return;
    }
    const QJsonObject settings = document.object();
    for (auto it = settings.begin(); it != settings.end(); ++it) {
        if (it.key() != "faults" && it.key() != "contentType") {
            sendError(reply, Status::BadRequest,
                      QStringLiteral("unknown setting \"%1\"").arg(it.key()));
            return;
        }
    }
    // Everything is checked before anything changes.
    QList<FaultRule> rules;
    if (settings.contains("faults")) {
        if (!settings.value("faults").isArray()) {
            sendError(reply, Status::BadRequest, QStringLiteral("faults must be an array"));
            return;
        }
        for (const QJsonValue &value : settings.value("faults").toArray()) {
            auto rule = FaultRule::fromJson(value.toObject());
            if (!value.isObject() || !rule) {
                sendError(reply, Status::BadRequest,
                          value.isObject() ? rule.error().description
                                           : QStringLiteral("each fault must be an object"));
                return;
            }
            rules.append(rule.value());
        }
    }
    const QJsonValue contentType = settings.value("contentType");
    if (settings.contains("contentType") &&
        (!contentType.isString() || contentType.toString().isEmpty())) {
        sendError(reply, Status::BadRequest, QStringLiteral("contentType must be a text"));
        return;
    }
    if (settings.contains("faults"))
        m_faults.setRules(rules);
    if (settings.contains("contentType"))
        m_api.setContentType(contentType.toString().toUtf8());
    reply.sendJson(state());
}

QJsonObject ControlApi::state() const
{
    QJsonArray faults;
    for (const FaultRule &rule : m_faults.rules())
        faults.append(rule.toJson());
    return {{"faults", faults}, {"contentType", QString::fromUtf8(m_api.contentType())}};
}
