#pragma once

// A tiny HTTP/1.1 server on 127.0.0.1 for transport tests: it records every request and answers
// each with the reply it was given (status, content type, body), or not at all. With a certificate
// and key it speaks TLS. Main thread; the tests drive the event loop.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QTcpServer>

class ScriptedHttpServer : public QTcpServer
{
    Q_OBJECT

public:
    struct Reply
    {
        int status = 200;
        QByteArray contentType = "application/json";
        QByteArray body = "{}";
        bool answers = true; // false: the connection stays open and silent
    };

    struct Request
    {
        QByteArray method;
        QByteArray target;                    // path and query
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;

        // The decoded form fields of a form-encoded body or query.
        static QMap<QString, QString> formFields(const QByteArray &encoded);
    };

    bool start();
    bool startTls(const QString &certificateFile, const QString &keyFile);

    void setReply(Reply reply) { m_reply = std::move(reply); }
    const QList<Request> &requests() const { return m_requests; }
    QString url(const QString &path = QStringLiteral("/")) const;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void serve(QTcpSocket *socket);
    void answer(QTcpSocket *socket);

    Reply m_reply;
    QList<Request> m_requests;
    QByteArray m_certificate;
    QByteArray m_key;
    bool m_tls = false;
};
