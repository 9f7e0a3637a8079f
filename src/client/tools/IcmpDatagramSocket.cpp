#include "IcmpDatagramSocket.h"

#include "client/tools/InternetChecksum.h"

#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::uint8_t IPv4VersionAndHeaderLength = 0x45;
constexpr std::uint8_t IPProtocolICMP = 1;
constexpr std::size_t IPv4MaximumTotalLength = 0xFFFF;
constexpr int TotalLengthOffset = 2;
constexpr int ProtocolOffset = 9;
constexpr int HeaderChecksumOffset = 10;
constexpr int SourceAddressOffset = 12;

void writeSynthesizedIPv4Header(char *header, std::size_t totalLength,
                                const sockaddr_storage &source)
{
    std::memset(header, 0, IcmpDatagramSocket::SynthesizedIPv4HeaderLength);
    header[0] = char(IPv4VersionAndHeaderLength);
    const auto length = std::uint16_t(std::min(totalLength, IPv4MaximumTotalLength));
    header[TotalLengthOffset] = char(length >> 8);
    header[TotalLengthOffset + 1] = char(length & 0xFF);
    header[ProtocolOffset] = char(IPProtocolICMP);
    if (source.ss_family == AF_INET) {
        const auto &from = reinterpret_cast<const sockaddr_in &>(source);
        std::memcpy(header + SourceAddressOffset, &from.sin_addr, sizeof from.sin_addr);
    }
    const std::uint16_t checksum =
        in_cksum(header, IcmpDatagramSocket::SynthesizedIPv4HeaderLength);
    std::memcpy(header + HeaderChecksumOffset, &checksum, sizeof checksum);
}

} // namespace

IcmpDatagramSocket::IcmpDatagramSocket(int family)
    : m_family(family)
{
    const int protocol = family == AF_INET6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
    m_descriptor = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, protocol);
    if (m_descriptor < 0)
        m_openError = errno;
}

IcmpDatagramSocket::~IcmpDatagramSocket()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

int IcmpDatagramSocket::bindEchoIdentifier(std::uint16_t identifier)
{
    // Echo sockets may share an identifier by default, and then only one of them receives the
    // replies; refuse to share it, so that the bind fails instead.
    const int shared = 0;
    if (::setsockopt(m_descriptor, SOL_SOCKET, SO_REUSEADDR, &shared, sizeof shared) != 0)
        return errno;
    sockaddr_storage address{};
    socklen_t length = 0;
    if (m_family == AF_INET6) {
        auto &any = reinterpret_cast<sockaddr_in6 &>(address);
        any.sin6_family = AF_INET6;
        any.sin6_addr = in6addr_any;
        any.sin6_port = htons(identifier);
        length = sizeof any;
    } else {
        auto &any = reinterpret_cast<sockaddr_in &>(address);
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        any.sin_port = htons(identifier);
        length = sizeof any;
    }
    if (::bind(m_descriptor, reinterpret_cast<const sockaddr *>(&address), length) != 0)
        return errno;
    return 0;
}

int IcmpDatagramSocket::bindFreeEchoIdentifier(std::uint16_t first,
                                               const std::function<std::uint16_t()> &another,
                                               int attempts)
{
    int error = bindEchoIdentifier(first);
    for (int attempt = 1; error == EADDRINUSE && attempt < attempts; ++attempt)
        error = bindEchoIdentifier(another());
    return error;
}

std::optional<std::uint16_t> IcmpDatagramSocket::boundEchoIdentifier() const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(m_descriptor, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return std::nullopt;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
}

ssize_t IcmpDatagramSocket::receive(char *buffer, std::size_t capacity, sockaddr_storage &source,
                                    socklen_t &sourceLength, int flags)
{
    if (m_family != AF_INET)
        return ::recvfrom(m_descriptor, buffer, capacity, flags,
                          reinterpret_cast<sockaddr *>(&source), &sourceLength);

    if (capacity < std::size_t(SynthesizedIPv4HeaderLength)) {
        errno = EMSGSIZE;
        return -1;
    }
    const ssize_t read = ::recvfrom(m_descriptor, buffer + SynthesizedIPv4HeaderLength,
                                    capacity - SynthesizedIPv4HeaderLength, flags,
                                    reinterpret_cast<sockaddr *>(&source), &sourceLength);
    if (read <= 0)
        return read;
    const std::size_t total = std::size_t(read) + SynthesizedIPv4HeaderLength;
    writeSynthesizedIPv4Header(buffer, total, source);
    return ssize_t(total);
}
