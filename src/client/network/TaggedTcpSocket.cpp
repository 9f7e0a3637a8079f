#include "TaggedTcpSocket.h"

#include <QTimer>

namespace {

Error taggedError(int code, const QString &description)
{
    return Error{QString::fromLatin1(TaggedTcpSocket::kErrorDomain), code, description};
}

} // namespace

TaggedTcpSocket::TaggedTcpSocket(Callbacks callbacks, qint64 readBufferLimit)
    : m_callbacks(std::move(callbacks))
    , m_socket(std::make_unique<QTcpSocket>())
{
    m_socket->setReadBufferSize(readBufferLimit);
    QTcpSocket *socket = m_socket.get();
    QObject::connect(socket, &QTcpSocket::connected, socket, [this] {
        m_callbacks.connected(m_socket->peerAddress().toString(), m_socket->peerPort());
    });
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this] { serviceReads(); });
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket,
                     [this](qint64 count) { bytesWritten(count); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket, [this] {
        if (!m_error)
            m_error = Error{QString::fromLatin1(kSocketErrorDomain), int(m_socket->error()),
                            m_socket->errorString()};
    });
    QObject::connect(socket, &QTcpSocket::stateChanged, socket,
                     [this](QAbstractSocket::SocketState state) { stateChanged(state); });
}

TaggedTcpSocket::~TaggedTcpSocket()
{
    // No callback may reach a half-destroyed owner while the socket closes.
    m_socket->disconnect();
}

Result<Done> TaggedTcpSocket::connectToHost(const QString &host, quint16 port)
{
    if (host.isEmpty())
        return taggedError(BadParamError, QStringLiteral("Invalid host: the host is empty"));
    if (isStarted())
        return taggedError(AlreadyConnectedError,
                           QStringLiteral("Attempting to connect while connected or connecting; "
                                          "disconnect first"));
    m_error.reset();
    m_closedLocally = false;
    m_socket->connectToHost(host, port);
    return Done{};
}

void TaggedTcpSocket::disconnect()
{
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        return;
    m_closedLocally = true;
    m_reads.clear();
    m_writes.clear();
    m_socket->abort();
}

void TaggedTcpSocket::readData(long tag)
{
    if (!isStarted())
        return;
    m_reads.enqueue(tag);
    // Bytes that are already here are taken on the next turn of the event loop.
    QTimer::singleShot(0, m_socket.get(), [this] { serviceReads(); });
}

void TaggedTcpSocket::writeData(const QByteArray &data, long tag)
{
    if (!isStarted() || m_closing)
        return;
    m_writes.enqueue({tag, data.size()});
    if (data.isEmpty()) {
        // Nothing to hand over, so no bytesWritten() will come for it.
        QTimer::singleShot(0, m_socket.get(), [this] { bytesWritten(0); });
        return;
    }
    m_socket->write(data);
}

bool TaggedTcpSocket::isStarted() const
{
    return m_socket->state() != QAbstractSocket::UnconnectedState || m_closing;
}

void TaggedTcpSocket::serviceReads()
{
    if (m_reads.isEmpty() || m_socket->bytesAvailable() <= 0)
        return;
    const long tag = m_reads.dequeue();
    const QByteArray data = m_socket->readAll();
    m_callbacks.read(data, tag);
}

void TaggedTcpSocket::bytesWritten(qint64 count)
{
    while (!m_writes.isEmpty()) {
        Write &head = m_writes.head();
        const qint64 taken = std::min(count, head.remaining);
        head.remaining -= taken;
        count -= taken;
        if (head.remaining > 0)
            return;
        const long tag = head.tag;
        m_writes.dequeue();
        // The callback may queue or drop writes; the loop looks at the queue afresh.
        m_callbacks.wrote(tag);
        if (count == 0 && (m_writes.isEmpty() || m_writes.head().remaining > 0))
            return;
    }
}

void TaggedTcpSocket::stateChanged(QAbstractSocket::SocketState state)
{
    if (state != QAbstractSocket::UnconnectedState || m_closing)
        return;
    m_closing = true;
    m_writes.clear();
    // Errors are reported after the state change; the callback waits for them.
    QTimer::singleShot(0, m_socket.get(), [this] { finishDisconnect(); });
}

void TaggedTcpSocket::finishDisconnect()
{
    if (!m_closedLocally) {
        // Reads still waiting take what arrived before the end.
        while (!m_reads.isEmpty() && m_socket->bytesAvailable() > 0)
            serviceReads();
    }
    m_reads.clear();
    m_closing = false;
    const std::optional<Error> error = m_closedLocally ? std::nullopt : m_error;
    m_error.reset();
    m_closedLocally = false;
    m_callbacks.disconnected(error);
}
