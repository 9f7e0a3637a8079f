#pragma once

#include "foundation/Error.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <optional>

// The service's push server. Clients connect over TCP and subscribe their QR-login code with a
// subscribe packet; the server records every subscription per connection and later pushes
// packets (the QR-login result) to the connections that subscribed a code. Packets are a 20-byte
// little-endian header (body size, main command, sub-command, identity, mask, reserve) and a
// body of body-size bytes; the server sends a text as its UTF-8 bytes and one zero byte.
//
// For tests it can also cut what it sends in two writes, send several packets in one write and
// close connections. Connections are numbered from 1 in the order they arrive and stay listed
// after they close. Main thread only; subscribed() fires as each subscription is read.
class PushServer : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 kDefaultPort = 5041;
    static constexpr quint32 kSubscribeCmd = 4127;
    static constexpr quint32 kQrLoginResultCmd = 4525;
    static constexpr qsizetype kHeaderSize = 20;
    // A client packet announcing a longer body breaks the stream; its connection is closed.
    static constexpr quint32 kMaxBodySize = 64 * 1024;
    // Between the two writes of a cut delivery, so that they reach the client as two reads.
    static constexpr int kSplitPauseMs = 100;

    struct Packet
    {
        quint32 mainCmd = kQrLoginResultCmd;
        quint32 subCmd = 0;
        QString content;
    };

    struct Connection
    {
        quint64 id = 0;
        QString peer;
        QStringList codes;
        bool open = true;
    };

    explicit PushServer(QObject *parent = nullptr);
    ~PushServer() override;

    // Port 0 picks a free one; returns the bound port.
    Result<quint16> listen(const QHostAddress &address, quint16 port);
    void close();
    quint16 port() const { return m_server.serverPort(); }

    QList<Connection> connections() const;
    // The open connections that subscribed the code.
    QList<quint64> subscribers(const QString &code) const;

    // The bytes of one packet as the server sends it.
    static QByteArray frame(const Packet &packet);

    // Writes the packets, all in one write, to each open connection that subscribed the code.
    // With splitAt > 0 the bytes go out in two writes instead, the first splitAt bytes, then the
    // rest kSplitPauseMs later. Returns how many connections are written to.
    int send(const QString &code, const QList<Packet> &packets, qsizetype splitAt = 0);
    // The QR-login result for the code: "<code>;<record as JSON>".
    int pushLoginResult(const QString &code, const QByteArray &recordJson);
    // Closes the open connections that subscribed the code, or all without a code.
    int closeConnections(const std::optional<QString> &code = std::nullopt);

signals:
    void subscribed(quint64 connectionId, const QString &code);

private:
    struct Client
    {
        Connection record;
        QPointer<QTcpSocket> socket;
        QByteArray buffer;
    };

    QList<quint64> openConnections() const;
    void accept();
    void readFrom(quint64 id);
    void handlePacket(quint64 id, quint32 mainCmd, const QByteArray &body);
    void write(quint64 id, const QByteArray &bytes, qsizetype splitAt);

    QTcpServer m_server;
    QHash<quint64, Client> m_clients;
    quint64 m_nextId = 1;
};
