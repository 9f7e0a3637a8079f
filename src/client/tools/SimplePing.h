#pragma once

// An asynchronous ICMP echo engine for a host name or address text, over IPv4 or IPv6, on a
// datagram ICMP socket. It resolves the name (QHostInfo), opens the socket, sends requests on
// demand and validates what the socket delivers, reporting every step to its delegate.
//
// The engine belongs to the thread that calls start(): resolution results, socket readiness and
// every report arrive from that thread's event loop, which must run for the engine to make
// progress. sendPingWithData() and stop() belong on the same thread. No locks.
//
// It holds its delegate weakly. Destroying the engine stops it first, without a report.
// Sequence numbers, the wrap flag and the identifier survive stop() and a new start().

#include "foundation/Error.h"

#include <QByteArray>
#include <QString>

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>

class IcmpDatagramSocket;
class QHostInfo;
class QObject;
class QSocketNotifier;
class SimplePingDelegate;

// The engine's error domains and the codes of the network domain.
namespace SimplePingError {
inline const QString NetworkDomain = QStringLiteral("kCFErrorDomainCFNetwork");
inline const QString PosixDomain = QStringLiteral("NSPOSIXErrorDomain");
inline constexpr int HostNotFound = 1;
inline constexpr int HostResolutionFailed = 2;
} // namespace SimplePingError

enum SimplePingAddressStyle : int {
    SimplePingAddressStyleAny = 0,
    SimplePingAddressStyleICMPv4 = 1,
    SimplePingAddressStyleICMPv6 = 2,
};

class SimplePing
{
public:
    // Gives an echo identifier, never 0 (0 would let the kernel choose one at bind time).
    using IdentifierSource = std::function<std::uint16_t()>;

    static constexpr int DefaultPayloadLength = 56;
    // Identifiers tried at the socket's opening while each is held by another echo socket.
    static constexpr int IdentifierAttempts = 5;

    // The host text must be given (non-empty). The identifier is drawn at random, or from the
    // given source, at creation and again whenever the one drawn is held by another socket.
    explicit SimplePing(const QString &hostName);
    SimplePing(const QString &hostName, IdentifierSource drawIdentifier);
    ~SimplePing();
    SimplePing(const SimplePing &) = delete;
    SimplePing &operator=(const SimplePing &) = delete;

    const QString &hostName() const { return m_hostName; }

    std::weak_ptr<SimplePingDelegate> delegate() const { return m_delegate; }
    void setDelegate(std::weak_ptr<SimplePingDelegate> delegate);

    int addressStyle() const { return m_addressStyle; }
    void setAddressStyle(int addressStyle) { m_addressStyle = addressStyle; }

    // The chosen socket address (a sockaddr_in or sockaddr_in6); empty until resolution succeeds.
    const QByteArray &hostAddress() const { return m_hostAddress; }
    // The family of hostAddress, AF_UNSPEC while it holds no address.
    sa_family_t hostAddressFamily() const;

    // Never 0, so that the socket can be bound to it. Another is drawn when the socket opens while
    // another echo socket holds it.
    std::uint16_t identifier() const { return m_identifier; }
    std::uint16_t nextSequenceNumber() const { return m_nextSequenceNumber; }
    bool nextSequenceNumberHasWrapped() const { return m_nextSequenceNumberHasWrapped; }

    // Begins resolving hostName; only on an engine that is neither resolving nor running.
    void start();
    // Sends one request with the payload, or the default payload when it is null; only after
    // didStartWithAddress.
    void sendPingWithData(const QByteArray &data = QByteArray());
    // Ends resolution and socket use and clears hostAddress. Idempotent.
    void stop();

    // The request for the next sequence number: the 8-byte echo header, then the payload.
    QByteArray pingPacketWithType(std::uint8_t type, const QByteArray &payload,
                                  bool requiresChecksum) const;
    // "%28zd bottles of beer on the wall" with 99 - (sequence number mod 100).
    static QByteArray defaultPayload(std::uint16_t sequenceNumber);

private:
    void hostResolutionDone(const QHostInfo &info);
    void startWithHostAddress();
    void readData();
    void stopHostResolution();
    void stopSocket();
    void didFailWithError(const Error &error);
    void didFailWithHostStreamError(const QString &reason);

    QString m_hostName;
    std::weak_ptr<SimplePingDelegate> m_delegate;
    IdentifierSource m_drawIdentifier;
    int m_addressStyle = SimplePingAddressStyleAny;
    QByteArray m_hostAddress;
    std::uint16_t m_identifier;
    std::uint16_t m_nextSequenceNumber = 0;
    bool m_nextSequenceNumberHasWrapped = false;

    // Receives the resolution results on the starting thread; results of an earlier start are
    // told apart by the generation.
    std::unique_ptr<QObject> m_resolutionContext;
    bool m_resolving = false;
    int m_lookupId = -1;
    quint64 m_lookupGeneration = 0;

    std::unique_ptr<IcmpDatagramSocket> m_socket;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
};
