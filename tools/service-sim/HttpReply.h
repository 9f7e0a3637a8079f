#pragma once

#include <QByteArray>
#include <QHttpServerResponder>
#include <QJsonObject>
#include <QPointer>
#include <QTcpSocket>

#include <memory>

// The answer to one HTTP request. It can be copied into timers and sent later: the first send
// wins, and a send after the client has gone does nothing. Main thread only.
class HttpReply
{
public:
    explicit HttpReply(QHttpServerResponder &&responder);

    using Status = QHttpServerResponder::StatusCode;

    void send(Status status, const QByteArray &contentType, const QByteArray &body) const;
    void sendJson(const QJsonObject &object, Status status = Status::Ok) const;

private:
    struct State
    {
        explicit State(QHttpServerResponder &&r)
            : responder(std::move(r))
        {}
        QHttpServerResponder responder;
        bool sent = false;
    };

    std::shared_ptr<State> m_state;
    QPointer<QTcpSocket> m_socket;
};
