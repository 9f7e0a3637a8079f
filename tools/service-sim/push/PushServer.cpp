#include "PushServer.h"

#include <QTimer>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr quint16 kIdentity = 32165;
constexpr quint16 kMask = 1;
constexpr qsizetype kMainCmdOffset = 4;
constexpr char kTerminator = '\0';
constexpr int kBitsPerByte = 8;

QByteArray header(quint32 bodySize, quint32 mainCmd, quint32 subCmd)
{
    QByteArray bytes(PushServer::kHeaderSize, '\0');
    char *out = bytes.data();
    qToLittleEndian<quint32>(bodySize, out);
    qToLittleEndian<quint32>(mainCmd, out + 4);
    qToLittleEndian<quint32>(subCmd, out + 8);
    qToLittleEndian<quint16>(kIdentity, out + 12);
    qToLittleEndian<quint16>(kMask, out + 14);
    return bytes;
}

// The little-endian word at the offset, which the caller has checked lies within the bytes.
quint32 wordAt(const QByteArray &bytes, qsizetype offset)
{
    quint32 word = 0;
    for (qsizetype i = qsizetype(sizeof word) - 1; i >= 0; --i)
        word = (word << kBitsPerByte) | quint8(bytes.at(offset + i));
    return word;
}

// The text of a body: its bytes up to the first zero byte.
QString bodyText(const QByteArray &body)
{
    const qsizetype end = body.indexOf(kTerminator);
    return QString::fromUtf8(end < 0 ? body : body.left(end));
}

} // namespace

PushServer::PushServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &PushServer::accept);
}

PushServer::~PushServer()
{
    close();
}

Result<quint16> PushServer::listen(const QHostAddress &address, quint16 port)
{
    if (!m_server.listen(address, port))
        return Error{QStringLiteral("vqm-service-sim.push"), 1,
                     QStringLiteral("cannot listen on %1 port %2: %3")
                         .arg(address.toString())
                         .arg(port)
                         .arg(m_server.errorString())};
    return m_server.serverPort();
}

void PushServer::close()
{
    m_server.close();
    closeConnections();
}

QList<PushServer::Connection> PushServer::connections() const
{
    QList<Connection> list;
    for (const Client &client : m_clients)
        list.append(client.record);
    std::sort(list.begin(), list.end(),
              [](const Connection &a, const Connection &b) { return a.id < b.id; });
    return list;
}

QList<quint64> PushServer::subscribers(const QString &code) const
{
    QList<quint64> ids;
    for (quint64 id : openConnections()) {
        if (m_clients[id].record.codes.contains(code))
            ids.append(id);
    }
    return ids;
}

QByteArray PushServer::frame(const Packet &packet)
{
    const QByteArray text = packet.content.toUtf8();
    // The body size counts the text and its terminator.
    return header(quint32(text.size() + 1), packet.mainCmd, packet.subCmd) + text + kTerminator;
}

int PushServer::send(const QString &code, const QList<Packet> &packets, qsizetype splitAt)
{
    QByteArray bytes;
    for (const Packet &packet : packets)
        bytes += frame(packet);
    const QList<quint64> ids = subscribers(code);
    for (quint64 id : ids)
        write(id, bytes, splitAt);
    return int(ids.size());
}

int PushServer::pushLoginResult(const QString &code, const QByteArray &recordJson)
{
    return send(code, {{kQrLoginResultCmd, 0, code + u';' + QString::fromUtf8(recordJson)}});
}

int PushServer::closeConnections(const std::optional<QString> &code)
{
    const QList<quint64> ids = code ? subscribers(*code) : openConnections();
    for (quint64 id : ids) {
        Client &client = m_clients[id];
        client.record.open = false;
        if (client.socket)
            client.socket->abort();
    }
    return int(ids.size());
}

QList<quint64> PushServer::openConnections() const
{
    QList<quint64> ids;
    for (const Connection &connection : connections()) {
        if (connection.open)
            ids.append(connection.id);
    }
    return ids;
}

void PushServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        const quint64 id = m_nextId++;
        Client &client = m_clients[id];
        client.record.id = id;
        client.record.peer =
            QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        client.socket = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { readFrom(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] {
            Client &gone = m_clients[id];
            gone.record.open = false;
            if (gone.socket)
                gone.socket->deleteLater();
        });
    }
}

void PushServer::readFrom(quint64 id)
{
    // Looked up afresh for each packet: a subscriber's slot may change the connections.
    for (;;) {
        const auto found = m_clients.find(id);
        if (found == m_clients.end() || !found->socket)
            return;
        Client &client = *found;
        client.buffer += client.socket->readAll();
        if (client.buffer.size() < kHeaderSize)
            return;
        const quint32 bodySize = wordAt(client.buffer, 0);
        if (bodySize > kMaxBodySize) {
            qWarning("vqm-service-sim: push connection %llu announced a body of %u bytes; closed",
                     static_cast<unsigned long long>(id), bodySize);
            client.buffer.clear();
            client.record.open = false;
            client.socket->abort();
            return;
        }
        if (client.buffer.size() < kHeaderSize + qsizetype(bodySize))
            return;
        const quint32 mainCmd = wordAt(client.buffer, kMainCmdOffset);
        const QByteArray body = client.buffer.mid(kHeaderSize, bodySize);
        client.buffer.remove(0, kHeaderSize + bodySize);
        handlePacket(id, mainCmd, body);
    }
}

void PushServer::handlePacket(quint64 id, quint32 mainCmd, const QByteArray &body)
{
    if (mainCmd != kSubscribeCmd) {
        qWarning("vqm-service-sim: push connection %llu sent command %u, ignored",
                 static_cast<unsigned long long>(id), mainCmd);
        return;
    }
    const QString code = bodyText(body);
    m_clients[id].record.codes.append(code);
    emit subscribed(id, code);
}

void PushServer::write(quint64 id, const QByteArray &bytes, qsizetype splitAt)
{
    QPointer<QTcpSocket> socket = m_clients[id].socket;
    if (!socket)
        return;
    if (splitAt <= 0 || splitAt >= bytes.size()) {
        socket->write(bytes);
        return;
    }
    socket->write(bytes.left(splitAt));
    socket->flush();
    const QByteArray rest = bytes.mid(splitAt);
    QTimer::singleShot(kSplitPauseMs, this, [socket, rest] {
        if (socket && socket->state() == QAbstractSocket::ConnectedState)
            socket->write(rest);
    });
}
