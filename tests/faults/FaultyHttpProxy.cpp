#include "FaultyHttpProxy.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QUrlQuery>

#include <optional>

namespace {

constexpr auto kHeaderEnd = "\r\n\r\n";
constexpr qsizetype kHeaderEndSize = 4;

// The whole message once the buffer holds its header and its Content-Length body.
std::optional<qsizetype> messageSize(const QByteArray &buffer)
{
    const qsizetype headerEnd = buffer.indexOf(kHeaderEnd);
    if (headerEnd < 0)
        return std::nullopt;
    qsizetype bodySize = 0;
    for (const QByteArray &line : buffer.left(headerEnd).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length")
            bodySize = line.mid(colon + 1).trimmed().toLongLong();
    }
    const qsizetype total = headerEnd + kHeaderEndSize + bodySize;
    return buffer.size() >= total ? std::optional<qsizetype>(total) : std::nullopt;
}

QByteArray bodyOf(const QByteArray &message)
{
    return message.mid(message.indexOf(kHeaderEnd) + kHeaderEndSize);
}

QString funTypeOf(const QByteArray &request)
{
    const QUrlQuery form(QString::fromUtf8(bodyOf(request)).replace(u'+', u' '));
    const QString plain = form.queryItemValue(QStringLiteral("funType"), QUrl::FullyDecoded);
    if (!plain.isEmpty())
        return plain;
    const QString json = form.queryItemValue(QStringLiteral("jsonStr"), QUrl::FullyDecoded);
    return QJsonDocument::fromJson(json.toUtf8()).object().value("funType").toString();
}

// The reply's header with "Connection: close", since the proxy ends each connection after it.
QByteArray closingReply(const QByteArray &reply)
{
    const qsizetype headerEnd = reply.indexOf(kHeaderEnd);
    QByteArrayList kept;
    for (const QByteArray &line : reply.left(headerEnd).split('\n')) {
        if (!line.trimmed().toLower().startsWith("connection:"))
            kept << line;
    }
    kept << "Connection: close\r";
    return kept.join('\n') + kHeaderEnd + reply.mid(headerEnd + kHeaderEndSize);
}

} // namespace

FaultyHttpProxy::FaultyHttpProxy(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *client = m_server.nextPendingConnection())
            serve(client);
    });
}

bool FaultyHttpProxy::start(quint16 servicePort)
{
    m_servicePort = servicePort;
    return m_server.listen(QHostAddress::LocalHost, 0);
}

void FaultyHttpProxy::setFault(const QString &funType, Fault fault, int times)
{
    m_faults.insert(funType, {fault, times});
}

std::optional<FaultyHttpProxy::Fault> FaultyHttpProxy::takeFault(const QByteArray &request)
{
    const auto found = m_faults.find(funTypeOf(request));
    if (found == m_faults.end() || found->times <= 0)
        return std::nullopt;
    --found->times;
    ++m_faultsShown;
    return found->fault;
}

void FaultyHttpProxy::serve(QTcpSocket *client)
{
    connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    auto request = std::make_shared<QByteArray>();
    connect(client, &QTcpSocket::readyRead, this, [this, client, request] {
        request->append(client->readAll());
        const std::optional<qsizetype> size = messageSize(*request);
        if (!size)
            return;
        // One request a connection: whatever follows is not read.
        disconnect(client, &QTcpSocket::readyRead, this, nullptr);
        const QByteArray whole = request->left(*size);
        const std::optional<Fault> fault = takeFault(whole);
        if (fault == Fault::Html500) {
            const QByteArray page(kErrorPage);
            client->write("HTTP/1.1 500 Internal Server Error\r\n"
                          "Content-Type: text/html; charset=UTF-8\r\n"
                          "Content-Length: " +
                          QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
            client->disconnectFromHost();
            return;
        }
        forward(client, whole, fault);
    });
}

void FaultyHttpProxy::forward(QTcpSocket *client, const QByteArray &request,
                              std::optional<Fault> fault)
{
    auto *service = new QTcpSocket(client);
    auto reply = std::make_shared<QByteArray>();
    connect(service, &QTcpSocket::connected, service,
            [service, request] { service->write(request); });
    connect(service, &QTcpSocket::readyRead, service, [service, client, reply, fault] {
        reply->append(service->readAll());
        const std::optional<qsizetype> size = messageSize(*reply);
        if (!size)
            return;
        const QByteArray whole = reply->left(*size);
        if (fault == Fault::CloseMidReply) {
            // The header promises the whole body; half of it comes, then the connection ends.
            const qsizetype cut =
                whole.indexOf(kHeaderEnd) + kHeaderEndSize + bodyOf(whole).size() / 2;
            client->write(whole.left(cut));
            client->flush();
            client->abort();
        } else {
            client->write(closingReply(whole));
            client->disconnectFromHost();
        }
        service->abort();
    });
    service->connectToHost(QHostAddress::LocalHost, m_servicePort);
}
