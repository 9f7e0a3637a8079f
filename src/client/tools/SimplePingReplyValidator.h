#pragma once

// Judges a datagram read from a SimplePing engine's socket against the engine's state at that
// moment: is it a valid echo reply to this engine, and which request does it answer? IPv4
// datagrams begin with their IP header, ICMPv6 messages stand alone. Pure; any thread.

#include <QByteArray>

#include <sys/socket.h>

#include <cstdint>
#include <limits>

class SimplePingReplyValidator
{
public:
    static constexpr qint64 NotFound = std::numeric_limits<qint64>::max();
    // How far below the next sequence number a reply may lie once the numbers have wrapped.
    static constexpr int AcceptedSequenceWindowAfterWrap = 120;

    SimplePingReplyValidator(std::uint16_t identifier, std::uint16_t nextSequenceNumber,
                             bool nextSequenceNumberHasWrapped);

    // The offset of the ICMP header in an IPv4 datagram, or NotFound.
    static qint64 icmpHeaderOffsetInIPv4Packet(const QByteArray &packet);

    bool validateSequenceNumber(std::uint16_t sequenceNumber) const;
    // A valid IPv4 reply loses its IP header.
    bool validatePing4ResponsePacket(QByteArray &packet, std::uint16_t &sequenceNumber) const;
    bool validatePing6ResponsePacket(const QByteArray &packet, std::uint16_t &sequenceNumber) const;
    // Chooses by the engine's address family; false for any other family.
    bool validatePingResponsePacket(QByteArray &packet, sa_family_t family,
                                    std::uint16_t &sequenceNumber) const;

private:
    // Type, code, identifier and sequence number of the ICMP message at the offset.
    bool validateEchoReply(const QByteArray &packet, qint64 offset, std::uint8_t replyType,
                           std::uint16_t &sequenceNumber) const;

    std::uint16_t m_identifier;
    std::uint16_t m_nextSequenceNumber;
    bool m_nextSequenceNumberHasWrapped;
};
