#pragma once

#include "HttpReply.h"

#include "foundation/Error.h"

#include <QHash>
#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QObject>

#include <functional>

// One HTTP listener of the simulator with its routes. A route is an exact path; its handler gets
// every method and decides itself. A path without a route goes to the fallback (404 when none).
// Routes may be added before or after listen(). Handlers run on the main thread, one request at a
// time; they may keep the reply and send it later.
class HttpEndpoint : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(const QHttpServerRequest &request, HttpReply reply)>;

    explicit HttpEndpoint(QObject *parent = nullptr);

    void addRoute(const QString &path, Handler handler);
    void setFallback(Handler handler) { m_fallback = std::move(handler); }

    // Listens on the address; port 0 picks a free one. Returns the bound port.
    Result<quint16> listen(const QHostAddress &address, quint16 port);
    quint16 port() const { return m_port; }

private:
    void dispatch(const QHttpServerRequest &request, QHttpServerResponder &&responder);

    QHttpServer m_server;
    QHash<QString, Handler> m_routes;
    Handler m_fallback;
    quint16 m_port = 0;
};
