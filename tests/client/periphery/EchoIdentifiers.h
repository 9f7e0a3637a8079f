#pragma once

// IPv4 echo identifiers as the kernel hands them out, for tests that make identifiers clash.
// They need datagram ICMP sockets (PingGroupRange).

#include "client/tools/IcmpDatagramSocket.h"

#include <netinet/in.h>

#include <cstdint>

// An identifier that another echo socket holds for as long as this lives; 0 when none could be
// bound.
class HeldEchoIdentifier
{
public:
    HeldEchoIdentifier() { m_socket.bindEchoIdentifier(0); }
    std::uint16_t value() const { return m_socket.boundEchoIdentifier().value_or(0); }

private:
    IcmpDatagramSocket m_socket{AF_INET};
};

// An identifier that no echo socket holds just now; 0 when none could be bound.
inline std::uint16_t freeEchoIdentifier()
{
    return HeldEchoIdentifier().value();
}
