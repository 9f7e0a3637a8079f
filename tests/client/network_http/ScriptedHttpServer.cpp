#include "ScriptedHttpServer.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QUrl>

namespace {

constexpr auto kHeaderEnd = "\r\n\r\n";

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

QMap<QString, QString> ScriptedHttpServer::Request::formFields(const QByteArray &encoded)
{
    QMap<QString, QString> fields;
    for (const QByteArray &field : encoded.split('&')) {
        if (field.isEmpty())
            continue;
        const qsizetype equals = field.indexOf('=');
        QByteArray name = field.left(equals);
        QByteArray value = equals < 0 ? QByteArray() : field.mid(equals + 1);
        name.replace('+', ' ');
        value.replace('+', ' ');
        fields.insert(QString::fromUtf8(QByteArray::fromPercentEncoding(name)),
                      QString::fromUtf8(QByteArray::fromPercentEncoding(value)));
    }
    return fields;
}

bool ScriptedHttpServer::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

bool ScriptedHttpServer::startTls(const QString &certificateFile, const QString &keyFile)
{
    QFile certificate(certificateFile);
    QFile key(keyFile);
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
        return false;
    m_certificate = certificate.readAll();
    m_key = key.readAll();
    m_tls = true;
    return start();
}

QString ScriptedHttpServer::url(const QString &path) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3")
        .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(serverPort())
        .arg(path);
}

void ScriptedHttpServer::incomingConnection(qintptr descriptor)
{
    if (!m_tls) {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        serve(socket);
        return;
    }
    auto *socket = new QSslSocket(this);
    socket->setSocketDescriptor(descriptor);
    socket->setLocalCertificate(QSslCertificate(m_certificate, QSsl::Pem));
    socket->setPrivateKey(QSslKey(m_key, QSsl::Rsa, QSsl::Pem));
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    serve(socket);
    socket->startServerEncryption();
}

void ScriptedHttpServer::serve(QTcpSocket *socket)
{
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        const qsizetype headerEnd = buffer->indexOf(kHeaderEnd);
        if (headerEnd < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer->left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype bodyStart = headerEnd + qsizetype(qstrlen(kHeaderEnd));
        const qsizetype length = request.headers.value("content-length").toLongLong();
        if (buffer->size() - bodyStart < length)
            return;
        request.body = buffer->mid(bodyStart, length);
        buffer->clear();
        m_requests.append(request);
        answer(socket);
    });
}

void ScriptedHttpServer::answer(QTcpSocket *socket)
{
    if (!m_reply.answers)
        return;
    QByteArray response = "HTTP/1.1 " + QByteArray::number(m_reply.status) + ' ' +
                          reasonPhrase(m_reply.status) + "\r\n";
    if (!m_reply.contentType.isEmpty())
        response += "Content-Type: " + m_reply.contentType + "\r\n";
    response += "Content-Length: " + QByteArray::number(m_reply.body.size()) + "\r\n";
    response += "Connection: close\r\n\r\n" + m_reply.body;
    socket->write(response);
    socket->disconnectFromHost();
}
