#pragma once

// The push channel: one TCP connection to the service's push server, over which the service
// announces confirmed QR logins. At creation it makes the QR-login code (qrCodeIndentify, the
// upper-case MD5 hex of the time text) that the QR code carries. After the first connect it
// subscribes that code (one subscribe packet, once per manager) and, once that write is finished,
// reads for good: the bytes read are cut into whole packets (PushStreamAssembler), each decoded
// and handed to the delegate, or dropped when there is none. Nothing reconnects a lost
// connection.
//
// Owns its socket; lives on the main thread, where every delegate call is made: socket events
// reach the delegate later from the event loop, a connect request refused at once is reported
// inside connectWithHost(). sharedInstance() is created on first use (on the main thread) and
// never destroyed; tests construct their own with a time text of their choice.

#include "PushStreamAssembler.h"
#include "TRSocketManagerDelegate.h"
#include "TaggedTcpSocket.h"

#include "foundation/BaseTools.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <concepts>
#include <cstddef>

class TRSocketManager
{
public:
    // The port of the push server, beside the service's address.
    static constexpr int kPushPort = 5041;
    // Unread bytes the socket keeps before it stops taking more; a broken stream cannot grow the
    // process beyond that.
    static constexpr qint64 kReadBufferLimit = 4 * PushStreamAssembler::kMaxBodySize;

    static TRSocketManager &sharedInstance();

    explicit TRSocketManager(const QString &timeText = BaseTools::getCurrentTimes());
    TRSocketManager(const TRSocketManager &) = delete;
    TRSocketManager &operator=(const TRSocketManager &) = delete;

    // Starts connecting without a time limit (port used as 16-bit). A request refused at once
    // is logged and reported through didDisconnectWithError.
    void connectWithHost(const QString &host, int port);
    void disconnect();

    // Pass-throughs to the socket. The channel's reads and writes have no time limit; the timeout
    // argument is taken for the interface's sake and not applied.
    void readDataWithTimeout(double timeout, long tag);
    void writeData(const QByteArray &data, double timeout, long tag);

    QString qrCodeIndentify() const { return m_qrCodeIndentify; }
    void setQrCodeIndentify(const QString &code) { m_qrCodeIndentify = code; }

    bool isConnected() const { return m_isConnected; }

    // Null once the delegate object is gone.
    TRSocketManagerDelegate *delegate() const;
    template <typename T>
    requires std::derived_from<T, QObject> && std::derived_from<T, TRSocketManagerDelegate>
    void setDelegate(T *delegate)
    {
        m_delegateObject = delegate;
        m_delegate = delegate;
    }
    void setDelegate(std::nullptr_t);

private:
    void didConnect(const QString &host, quint16 port);
    void didWrite(long tag);
    void didRead(const QByteArray &data, long tag);
    void didDisconnect(const std::optional<Error> &error);

    QString m_qrCodeIndentify;
    bool m_isFirstConnect = true;
    bool m_isConnected = false;
    QPointer<QObject> m_delegateObject;
    TRSocketManagerDelegate *m_delegate = nullptr;
    PushStreamAssembler m_assembler;
    TaggedTcpSocket m_socket;
};
