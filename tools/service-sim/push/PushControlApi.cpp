#include "PushControlApi.h"

#include "HttpEndpoint.h"
#include "PushServer.h"

#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>

#include <limits>
#include <optional>

namespace {

using Status = QHttpServerResponder::StatusCode;

void sendError(const HttpReply &reply, Status status, const QString &message)
{
    reply.sendJson({{"error", message}}, status);
}

// The JSON object of a POST body; answers the request itself when there is none.
std::optional<QJsonObject> postedObject(const QHttpServerRequest &request, const HttpReply &reply)
{
    if (request.method() != QHttpServerRequest::Method::Post) {
        sendError(reply, Status::MethodNotAllowed, QStringLiteral("use POST"));
        return std::nullopt;
    }
    if (request.body().trimmed().isEmpty())
        return QJsonObject();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(request.body(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        sendError(reply, Status::BadRequest, QStringLiteral("the body must be a JSON object"));
        return std::nullopt;
    }
    return document.object();
}

std::optional<quint32> unsignedMember(const QJsonObject &object, const char *name, quint32 missing)
{
    const QJsonValue value = object.value(QLatin1String(name));
    if (value.isUndefined())
        return missing;
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number < 0 || number > std::numeric_limits<quint32>::max() ||
        number != double(quint32(number)))
        return std::nullopt;
    return quint32(number);
}

} // namespace

PushControlApi::PushControlApi(PushServer &push)
    : m_push(push)
{}

void PushControlApi::addRoutes(HttpEndpoint &endpoint)
{
    endpoint.addRoute(kStatePath, [this](const QHttpServerRequest &request, HttpReply reply) {
        state(request, reply);
    });
    endpoint.addRoute(kSendPath, [this](const QHttpServerRequest &request, HttpReply reply) {
        send(request, reply);
    });
    endpoint.addRoute(kClosePath, [this](const QHttpServerRequest &request, HttpReply reply) {
        close(request, reply);
    });
}

void PushControlApi::state(const QHttpServerRequest &request, const HttpReply &reply)
{
    if (request.method() != QHttpServerRequest::Method::Get) {
        sendError(reply, Status::MethodNotAllowed, QStringLiteral("use GET"));
        return;
    }
    QJsonArray connections;
    for (const PushServer::Connection &connection : m_push.connections()) {
        connections.append(QJsonObject{{"id", qint64(connection.id)},
                                       {"peer", connection.peer},
                                       {"codes", QJsonArray::fromStringList(connection.codes)},
                                       {"open", connection.open}});
    }
    reply.sendJson({{"connections", connections}});
}

void PushControlApi::send(const QHttpServerRequest &request, const HttpReply &reply)
{
    const auto settings = postedObject(request, reply);
    if (!settings)
        return;
    if (!settings->value("code").isString() || !settings->value("packets").isArray()) {
        sendError(reply, Status::BadRequest,
                  QStringLiteral("send needs \"code\" (text) and \"packets\" (array)"));
        return;
    }
    QList<PushServer::Packet> packets;
    for (const QJsonValue &value : settings->value("packets").toArray()) {
        const QJsonObject object = value.toObject();
        const auto mainCmd = unsignedMember(object, "mainCmd", PushServer::kQrLoginResultCmd);
        const auto subCmd = unsignedMember(object, "subCmd", 0);
        const QJsonValue content = object.value("content");
        if (!value.isObject() || !mainCmd || !subCmd ||
            !(content.isString() || content.isUndefined())) {
            sendError(reply, Status::BadRequest,
                      QStringLiteral("each packet is {\"mainCmd\": N, \"subCmd\": N, "
                                     "\"content\": TEXT}"));
            return;
        }
        packets.append({*mainCmd, *subCmd, content.toString()});
    }
    const auto splitAt = unsignedMember(*settings, "splitAt", 0);
    if (!splitAt) {
        sendError(reply, Status::BadRequest, QStringLiteral("splitAt must be a byte count"));
        return;
    }
    const int count = m_push.send(settings->value("code").toString(), packets, *splitAt);
    reply.sendJson({{"connections", count}});
}

void PushControlApi::close(const QHttpServerRequest &request, const HttpReply &reply)
{
    const auto settings = postedObject(request, reply);
    if (!settings)
        return;
    const QJsonValue code = settings->value("code");
    if (!code.isString() && !code.isUndefined()) {
        sendError(reply, Status::BadRequest, QStringLiteral("code must be a text"));
        return;
    }
    const int closed =
        code.isString() ? m_push.closeConnections(code.toString()) : m_push.closeConnections();
    reply.sendJson({{"closed", closed}});
}
