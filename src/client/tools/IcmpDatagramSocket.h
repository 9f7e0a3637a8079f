#pragma once

// One datagram ICMP socket (SOCK_DGRAM with ICMP or ICMPv6), as the echo code expects it on
// Linux. It owns the descriptor and closes it when destroyed. Blocking unless the caller passes
// MSG_DONTWAIT; used by one thread at a time.
//
// Linux differs from the layout the echo code validates in two ways, both absorbed here:
// - The kernel writes the socket's bound port into the identifier field of every echo request
//   (big-endian) and delivers only replies carrying it. bindEchoIdentifier() binds the
//   identifier the caller sends, so that the identifier on the wire is the one it compares, and
//   binds it exclusively (echo sockets share identifiers by default, and a reply then reaches
//   only one of the sharers): an identifier in use fails with EADDRINUSE.
// - An IPv4 socket delivers the ICMP message without its IP header. receive() writes a
//   synthesized 20-byte IPv4 header in front of it: version 4, header length 5, total length,
//   protocol ICMP, the sender as source address and a valid header checksum; the fields the
//   kernel does not tell (type of service, id, fragment, TTL, destination) are zero. ICMPv6
//   messages arrive alone, as expected.

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <optional>

class IcmpDatagramSocket
{
public:
    static constexpr int SynthesizedIPv4HeaderLength = 20;

    // Opens the socket for AF_INET or AF_INET6; isOpen() tells whether that worked.
    explicit IcmpDatagramSocket(int family);
    ~IcmpDatagramSocket();
    IcmpDatagramSocket(const IcmpDatagramSocket &) = delete;
    IcmpDatagramSocket &operator=(const IcmpDatagramSocket &) = delete;

    bool isOpen() const { return m_descriptor >= 0; }
    // The errno of the failed opening.
    int openError() const { return m_openError; }
    int descriptor() const { return m_descriptor; }
    int family() const { return m_family; }

    // Binds the socket so that requests go out with this identifier (0: one the kernel chooses).
    // Returns 0 or the errno of the failure.
    int bindEchoIdentifier(std::uint16_t identifier);
    // Binds `first`, or while the identifier tried is held by another echo socket (EADDRINUSE)
    // the next that `another` gives, trying at most `attempts` identifiers in all. Returns 0 or
    // the errno of the failure that ended the trying: any other failure ends it at once.
    int bindFreeEchoIdentifier(std::uint16_t first, const std::function<std::uint16_t()> &another,
                               int attempts);
    // The identifier the kernel puts into requests, once bound.
    std::optional<std::uint16_t> boundEchoIdentifier() const;

    // Reads one datagram into the buffer (for IPv4 with the synthesized header in front). Returns
    // the byte count, or -1 with errno set; 0 when the datagram was empty.
    ssize_t receive(char *buffer, std::size_t capacity, sockaddr_storage &source,
                    socklen_t &sourceLength, int flags = 0);

private:
    int m_family;
    int m_descriptor = -1;
    int m_openError = 0;
};
