#include "SimplePing.h"

#include "client/platform/AssertionHandler.h"
#include "client/tools/IcmpDatagramSocket.h"
#include "client/tools/IcmpEcho.h"
#include "client/tools/InternetChecksum.h"
#include "client/tools/SimplePingDelegate.h"
#include "client/tools/SimplePingReplyValidator.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QThread>

#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr int ReceiveBufferSize = 65535;
constexpr int BottlesOnTheWall = 99;
constexpr int BottleCountCycle = 100;
constexpr int BottleCountWidth = 28;
// The shortest socket address record worth taking (a sockaddr_in).
constexpr qsizetype MinimumSocketAddressLength = 16;

Error posixError(int code)
{
    return Error{SimplePingError::PosixDomain, code, qt_error_string(code)};
}

QByteArray socketAddress(const QHostAddress &address)
{
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        sockaddr_in ipv4{};
        ipv4.sin_family = AF_INET;
        ipv4.sin_addr.s_addr = htonl(address.toIPv4Address());
        return QByteArray(reinterpret_cast<const char *>(&ipv4), sizeof ipv4);
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        sockaddr_in6 ipv6{};
        ipv6.sin6_family = AF_INET6;
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&ipv6.sin6_addr, bytes.c, sizeof ipv6.sin6_addr);
        const QString scope = address.scopeId();
        bool numeric = false;
        const uint scopeNumber = scope.toUInt(&numeric);
        ipv6.sin6_scope_id = numeric ? scopeNumber : if_nametoindex(scope.toLatin1().constData());
        return QByteArray(reinterpret_cast<const char *>(&ipv6), sizeof ipv6);
    }
    return {};
}

sa_family_t familyOf(const QByteArray &address)
{
    sockaddr header{};
    std::memcpy(&header, address.constData(), sizeof header.sa_family);
    return header.sa_family;
}

bool isAllowed(sa_family_t family, int addressStyle)
{
    if (family == AF_INET)
        return addressStyle != SimplePingAddressStyleICMPv6;
    if (family == AF_INET6)
        return addressStyle != SimplePingAddressStyleICMPv4;
    return false;
}

std::uint16_t randomIdentifier()
{
    return std::uint16_t(QRandomGenerator::global()->bounded(1u, 0x10000u));
}

} // namespace

SimplePing::SimplePing(const QString &hostName)
    : SimplePing(hostName, randomIdentifier)
{}

SimplePing::SimplePing(const QString &hostName, IdentifierSource drawIdentifier)
    : m_hostName(hostName)
    , m_drawIdentifier(std::move(drawIdentifier))
    , m_identifier(m_drawIdentifier())
{
    if (hostName.isEmpty())
        AssertionHandler::handleFailure("SimplePing needs a host name");
}

SimplePing::~SimplePing()
{
    stop();
}

void SimplePing::setDelegate(std::weak_ptr<SimplePingDelegate> delegate)
{
    m_delegate = std::move(delegate);
}

sa_family_t SimplePing::hostAddressFamily() const
{
    if (m_hostAddress.size() < MinimumSocketAddressLength)
        return AF_UNSPEC;
    return familyOf(m_hostAddress);
}

void SimplePing::start()
{
    if (m_resolving || m_socket) {
        AssertionHandler::handleFailure("SimplePing started while resolving or running");
        return;
    }
    if (!m_resolutionContext || m_resolutionContext->thread() != QThread::currentThread())
        m_resolutionContext = std::make_unique<QObject>();

    m_resolving = true;
    const quint64 generation = ++m_lookupGeneration;
    m_lookupId = QHostInfo::lookupHost(m_hostName, m_resolutionContext.get(),
                                       [this, generation](const QHostInfo &info) {
                                           if (m_resolving && generation == m_lookupGeneration)
                                               hostResolutionDone(info);
                                       });
}

void SimplePing::hostResolutionDone(const QHostInfo &info)
{
    if (info.error() != QHostInfo::NoError) {
        didFailWithHostStreamError(info.errorString());
        return;
    }
    for (const QHostAddress &address : info.addresses()) {
        const QByteArray candidate = socketAddress(address);
        if (candidate.size() >= MinimumSocketAddressLength &&
            isAllowed(familyOf(candidate), m_addressStyle)) {
            m_hostAddress = candidate;
            break;
        }
    }
    stopHostResolution();
    if (m_hostAddress.isEmpty()) {
        didFailWithError(Error{SimplePingError::NetworkDomain, SimplePingError::HostNotFound,
                               QStringLiteral("The host \"%1\" has no address of the allowed "
                                              "family.")
                                   .arg(m_hostName)});
        return;
    }
    startWithHostAddress();
}

void SimplePing::didFailWithHostStreamError(const QString &reason)
{
    // The resolver's own code is not told by QHostInfo; its text goes into the description.
    didFailWithError(
        Error{SimplePingError::NetworkDomain, SimplePingError::HostResolutionFailed,
              QStringLiteral("The host \"%1\" could not be resolved: %2").arg(m_hostName, reason)});
}

void SimplePing::startWithHostAddress()
{
    const sa_family_t family = hostAddressFamily();
    if (family != AF_INET && family != AF_INET6) {
        didFailWithError(posixError(EPROTONOSUPPORT));
        return;
    }
    auto socket = std::make_unique<IcmpDatagramSocket>(family);
    if (!socket->isOpen()) {
        didFailWithError(posixError(socket->openError()));
        return;
    }
    const int bindError = socket->bindFreeEchoIdentifier(
        m_identifier, [this] { return m_identifier = m_drawIdentifier(); }, IdentifierAttempts);
    if (bindError != 0) {
        didFailWithError(posixError(bindError));
        return;
    }
    m_socket = std::move(socket);
    m_readNotifier =
        std::make_unique<QSocketNotifier>(m_socket->descriptor(), QSocketNotifier::Read);
    QObject::connect(m_readNotifier.get(), &QSocketNotifier::activated, m_readNotifier.get(),
                     [this] { readData(); });

    if (auto delegate = m_delegate.lock())
        delegate->didStartWithAddress(*this, m_hostAddress);
}

QByteArray SimplePing::defaultPayload(std::uint16_t sequenceNumber)
{
    const int bottles = BottlesOnTheWall - sequenceNumber % BottleCountCycle;
    return QStringLiteral("%1 bottles of beer on the wall")
        .arg(bottles, BottleCountWidth)
        .toLatin1();
}

QByteArray SimplePing::pingPacketWithType(std::uint8_t type, const QByteArray &payload,
                                          bool requiresChecksum) const
{
    QByteArray packet(IcmpEcho::HeaderLength, '\0');
    packet[IcmpEcho::TypeOffset] = char(type);
    packet[IcmpEcho::IdentifierOffset] = char(m_identifier >> 8);
    packet[IcmpEcho::IdentifierOffset + 1] = char(m_identifier & 0xFF);
    packet[IcmpEcho::SequenceNumberOffset] = char(m_nextSequenceNumber >> 8);
    packet[IcmpEcho::SequenceNumberOffset + 1] = char(m_nextSequenceNumber & 0xFF);
    packet.append(payload);
    if (requiresChecksum) {
        const std::uint16_t checksum = in_cksum(packet.constData(), std::size_t(packet.size()));
        std::memcpy(packet.data() + IcmpEcho::ChecksumOffset, &checksum, sizeof checksum);
    }
    return packet;
}

void SimplePing::sendPingWithData(const QByteArray &data)
{
    const sa_family_t family = hostAddressFamily();
    if (family != AF_INET && family != AF_INET6) {
        AssertionHandler::handleFailure("SimplePing sends only after didStartWithAddress");
        return;
    }
    const QByteArray payload = data.isNull() ? defaultPayload(m_nextSequenceNumber) : data;
    const QByteArray packet = family == AF_INET
                                  ? pingPacketWithType(IcmpEcho::EchoRequestIPv4, payload, true)
                                  : pingPacketWithType(IcmpEcho::EchoRequestIPv6, payload, false);
    const std::uint16_t sequenceNumber = m_nextSequenceNumber;

    ssize_t sent = -1;
    int error = EBADF;
    if (m_socket) {
        sent = ::sendto(m_socket->descriptor(), packet.constData(), size_t(packet.size()), 0,
                        reinterpret_cast<const sockaddr *>(m_hostAddress.constData()),
                        socklen_t(m_hostAddress.size()));
        error = sent < 0 ? errno : 0;
    }

    m_nextSequenceNumber = std::uint16_t(m_nextSequenceNumber + 1);
    if (m_nextSequenceNumber == 0)
        m_nextSequenceNumberHasWrapped = true;

    auto delegate = m_delegate.lock();
    if (!delegate)
        return;
    if (sent == packet.size()) {
        delegate->didSendPacket(*this, packet, sequenceNumber);
    } else {
        // A short send leaves no error code of its own.
        delegate->didFailToSendPacket(*this, packet, sequenceNumber,
                                      posixError(error == 0 ? ENOBUFS : error));
    }
}

void SimplePing::readData()
{
    QByteArray buffer(ReceiveBufferSize, Qt::Uninitialized);
    sockaddr_storage source{};
    socklen_t sourceLength = sizeof source;
    const ssize_t read =
        m_socket->receive(buffer.data(), size_t(buffer.size()), source, sourceLength, MSG_DONTWAIT);
    const int error = errno;
    if (read < 0 && (error == EAGAIN || error == EWOULDBLOCK || error == EINTR))
        return; // woken without a datagram waiting
    if (read <= 0) {
        didFailWithError(posixError(read == 0 ? EPIPE : error));
        return;
    }

    QByteArray packet = buffer.left(read);
    buffer.clear();
    std::uint16_t sequenceNumber = 0;
    const SimplePingReplyValidator validator(m_identifier, m_nextSequenceNumber,
                                             m_nextSequenceNumberHasWrapped);
    const bool valid =
        validator.validatePingResponsePacket(packet, hostAddressFamily(), sequenceNumber);

    auto delegate = m_delegate.lock();
    if (!delegate)
        return;
    if (valid)
        delegate->didReceivePingResponsePacket(*this, packet, sequenceNumber);
    else
        delegate->didReceiveUnexpectedPacket(*this, packet);
}

void SimplePing::stop()
{
    stopHostResolution();
    stopSocket();
    m_hostAddress.clear();
}

void SimplePing::stopHostResolution()
{
    if (!m_resolving)
        return;
    m_resolving = false;
    ++m_lookupGeneration;
    QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
}

void SimplePing::stopSocket()
{
    m_readNotifier.reset();
    m_socket.reset();
}

void SimplePing::didFailWithError(const Error &error)
{
    auto delegate = m_delegate.lock();
    stop();
    if (delegate)
        delegate->didFailWithError(*this, error);
}
