#pragma once

// A TCP client socket with queued, tagged reads and writes, on QTcpSocket. A read takes whatever
// bytes have arrived once it is the oldest read waiting; a write is finished once all its bytes
// have been handed to the system. Neither has a time limit. Operations asked for while no
// connection is being made or held are ignored.
//
// Owns its QTcpSocket; lives on the thread that creates it. Every callback runs later on that
// thread's event loop, never inside the call that caused it, so callers may call back in freely.
// After disconnect() or a lost connection, the disconnected callback follows once (without an
// error after disconnect()); reads still waiting then get the bytes that arrived before the end.

#include "foundation/Error.h"

#include <QByteArray>
#include <QQueue>
#include <QString>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <optional>

class TaggedTcpSocket
{
public:
    struct Callbacks
    {
        std::function<void(const QString &host, quint16 port)> connected;
        std::function<void(long tag)> wrote;
        std::function<void(const QByteArray &data, long tag)> read;
        std::function<void(const std::optional<Error> &error)> disconnected;
    };

    static constexpr auto kErrorDomain = "TaggedTcpSocket";
    enum ErrorCode { BadParamError = 1, AlreadyConnectedError };
    // Errors of the connection itself carry Qt's socket error in this domain.
    static constexpr auto kSocketErrorDomain = "QAbstractSocket";

    // readBufferLimit: bytes kept unread before the socket stops taking more from the system.
    TaggedTcpSocket(Callbacks callbacks, qint64 readBufferLimit);
    ~TaggedTcpSocket();
    TaggedTcpSocket(const TaggedTcpSocket &) = delete;
    TaggedTcpSocket &operator=(const TaggedTcpSocket &) = delete;

    // Starts connecting without a time limit; an error when that cannot even begin (no host, or a
    // connection already made or being made).
    Result<Done> connectToHost(const QString &host, quint16 port);
    // Ends the connection at once, dropping the reads and writes still waiting.
    void disconnect();

    void readData(long tag);
    void writeData(const QByteArray &data, long tag);

private:
    struct Write
    {
        long tag = 0;
        qint64 remaining = 0;
    };

    bool isStarted() const;
    void serviceReads();
    void bytesWritten(qint64 count);
    void stateChanged(QAbstractSocket::SocketState state);
    void finishDisconnect();

    Callbacks m_callbacks;
    std::unique_ptr<QTcpSocket> m_socket;
    QQueue<long> m_reads;
    QQueue<Write> m_writes;
    std::optional<Error> m_error;
    bool m_closedLocally = false;
    bool m_closing = false;
};
