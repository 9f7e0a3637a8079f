#include "Ping.h"

#include "client/tools/IcmpDatagramSocket.h"
#include "client/tools/IcmpEcho.h"
#include "client/tools/InternetChecksum.h"
#include "foundation/logging/Log.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/time.h>
#include <unistd.h>

#include <QString>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <source_location>

namespace {

constexpr int ReceiveBufferSize = 512;
constexpr int SendTimeOffset = 8;
constexpr int SendTimeMicrosecondsOffset = 16;
// The process's own identifier, then, when another echo socket holds it, one the kernel chooses.
constexpr int IdentifierAttempts = 2;
constexpr std::uint16_t KernelChosenIdentifier = 0;

// Lines name the function as Ping's lines are written, and carry Ping's own place, not this
// helper's.
void logPing(const QString &text, const std::source_location &where)
{
    Log::client(QStringLiteral("Ping,ip:") + text, "Ping", where);
}

void logPing(const std::source_location &where, const char *ip, const char *what)
{
    logPing(QStringLiteral("%1,%2").arg(QString::fromLatin1(ip), QLatin1String(what)), where);
}

// Binds the identifier that the request carries in host order, or one the kernel chooses when
// another echo socket holds it (a second Ping at the same moment); returns the identifier bound,
// none when binding failed.
std::optional<std::uint16_t> bindHostOrderIdentifier(IcmpDatagramSocket &socket,
                                                     std::uint16_t hostOrderIdentifier)
{
    // The kernel writes the port big-endian; these are the bytes of the host-order value.
    if (socket.bindFreeEchoIdentifier(
            ntohs(hostOrderIdentifier), [] { return KernelChosenIdentifier; },
            IdentifierAttempts) != 0)
        return std::nullopt;
    const std::optional<std::uint16_t> bound = socket.boundEchoIdentifier();
    if (!bound)
        return std::nullopt;
    return htons(*bound);
}

// Like select() with this interval: a negative one is an error.
bool waitReadable(int descriptor, int timeout)
{
    if (timeout < 0)
        return false;
    pollfd readable{descriptor, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&readable, 1, timeout);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

} // namespace

unsigned short cal_chksum(const unsigned short *buffer, int length)
{
    return in_cksum(buffer, length > 0 ? std::size_t(length) : 0);
}

std::array<std::uint8_t, PingRequestLength>
PingRequest(std::uint16_t identifier, std::int64_t seconds, std::int32_t microseconds)
{
    std::array<std::uint8_t, PingRequestLength> request{};
    request[IcmpEcho::TypeOffset] = IcmpEcho::EchoRequestIPv4;
    std::memcpy(request.data() + IcmpEcho::IdentifierOffset, &identifier, sizeof identifier);
    std::memcpy(request.data() + SendTimeOffset, &seconds, sizeof seconds);
    std::memcpy(request.data() + SendTimeMicrosecondsOffset, &microseconds, sizeof microseconds);
    const unsigned short checksum =
        cal_chksum(reinterpret_cast<const unsigned short *>(request.data()), PingRequestLength);
    std::memcpy(request.data() + IcmpEcho::ChecksumOffset, &checksum, sizeof checksum);
    return request;
}

int Ping(const char *ip, int timeout)
{
    if (!ip)
        return 0;
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = inet_addr(ip);

    IcmpDatagramSocket socket(AF_INET);
    const std::optional<std::uint16_t> identifier =
        socket.isOpen() ? bindHostOrderIdentifier(socket, std::uint16_t(getpid() & 0xFFFF))
                        : std::nullopt;
    if (!identifier) {
        logPing(std::source_location::current(), ip, "socket error");
        return 0;
    }

    const std::chrono::milliseconds limit(timeout);
    const auto wholeSeconds = std::chrono::duration_cast<std::chrono::seconds>(limit);
    timeval interval{};
    interval.tv_sec = wholeSeconds.count();
    interval.tv_usec =
        std::chrono::duration_cast<std::chrono::microseconds>(limit - wholeSeconds).count();
    if (::setsockopt(socket.descriptor(), SOL_SOCKET, SO_SNDTIMEO, &interval, sizeof interval) !=
        0) {
        logPing(std::source_location::current(), ip, "setsockopt error");
        return 0;
    }

    timeval now{};
    gettimeofday(&now, nullptr);
    const auto request = PingRequest(*identifier, now.tv_sec, std::int32_t(now.tv_usec));
    if (::sendto(socket.descriptor(), request.data(), request.size(), 0,
                 reinterpret_cast<const sockaddr *>(&destination), sizeof destination) < 1) {
        logPing(std::source_location::current(), ip, "sendto error");
        return 0;
    }

    for (;;) {
        if (!waitReadable(socket.descriptor(), timeout)) {
            logPing(std::source_location::current(), ip, "Time out error");
            return 0;
        }
        char buffer[ReceiveBufferSize] = {};
        sockaddr_storage source{};
        socklen_t sourceLength = sizeof(sockaddr_in);
        if (socket.receive(buffer, sizeof buffer, source, sourceLength) < 1)
            return 0;

        // inet_ntop's dotted text is inet_ntoa's, without its shared buffer.
        char from[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in &>(source).sin_addr, from,
                  sizeof from);
        if (std::strcmp(from, ip) != 0) {
            logPing(QStringLiteral("%1,from ip error :%2")
                        .arg(QString::fromLatin1(ip), QString::fromLatin1(from)),
                    std::source_location::current());
            return 0;
        }

        const int headerLength = (buffer[0] & 0x0F) * 4;
        const auto type = std::uint8_t(buffer[headerLength]);
        std::uint16_t replyIdentifier = 0;
        std::memcpy(&replyIdentifier, buffer + headerLength + IcmpEcho::IdentifierOffset,
                    sizeof replyIdentifier);
        if (type == IcmpEcho::EchoReplyIPv4 && replyIdentifier == *identifier)
            return 1;
        logPing(QStringLiteral("%1,icmp->icmp_type:%2,icmp->icmp_id:%3")
                    .arg(QString::fromLatin1(ip))
                    .arg(type)
                    .arg(replyIdentifier),
                std::source_location::current());
    }
}
