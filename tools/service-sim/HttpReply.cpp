#include "HttpReply.h"

#include <QJsonDocument>
#include <QJsonObject>

HttpReply::HttpReply(QHttpServerResponder &&responder)
    : m_state(std::make_shared<State>(std::move(responder)))
    , m_socket(m_state->responder.socket())
{}

void HttpReply::send(Status status, const QByteArray &contentType, const QByteArray &body) const
{
    if (m_state->sent)
        return;
    m_state->sent = true;
    // The responder writes straight to its socket, which the server deletes once the peer closes.
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_state->responder.write(body, contentType, status);
}

void HttpReply::sendJson(const QJsonObject &object, Status status) const
{
    send(status, "application/json", QJsonDocument(object).toJson(QJsonDocument::Compact));
}
