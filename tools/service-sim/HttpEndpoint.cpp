#include "HttpEndpoint.h"

#include <QJsonObject>

HttpEndpoint::HttpEndpoint(QObject *parent)
    : QObject(parent)
{
    // Routing is ours (exact paths, any method), so every request reaches the missing handler.
    m_server.setMissingHandler(
        [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            dispatch(request, std::move(responder));
        });
}

void HttpEndpoint::addRoute(const QString &path, Handler handler)
{
    m_routes.insert(path, std::move(handler));
}

Result<quint16> HttpEndpoint::listen(const QHostAddress &address, quint16 port)
{
    const quint16 bound = m_server.listen(address, port);
    if (bound == 0)
        return Error{
            QStringLiteral("vqm-service-sim.http"), 1,
            QStringLiteral("cannot listen on %1 port %2").arg(address.toString()).arg(port)};
    m_port = bound;
    return bound;
}

void HttpEndpoint::dispatch(const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    HttpReply reply(std::move(responder));
    const auto route = m_routes.constFind(request.url().path());
    if (route != m_routes.constEnd()) {
        // A copy, so that a handler adding routes cannot pull itself from under its own call.
        const Handler handler = *route;
        handler(request, reply);
    } else if (m_fallback) {
        m_fallback(request, reply);
    } else {
        reply.sendJson({{"error", QStringLiteral("no such path")}},
                       QHttpServerResponder::StatusCode::NotFound);
    }
}
