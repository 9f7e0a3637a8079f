#include "SimplePingReplyValidator.h"

#include "client/tools/IcmpEcho.h"
#include "client/tools/InternetChecksum.h"

#include <cstring>

namespace {

constexpr int MinimumIPv4HeaderLength = 20;
constexpr std::uint8_t IPv4Version = 4;
constexpr int IPv4ProtocolOffset = 9;
constexpr std::uint8_t IPProtocolICMP = 1;

std::uint16_t bigEndianAt(const QByteArray &packet, qint64 offset)
{
    return std::uint16_t(std::uint8_t(packet[offset]) << 8 | std::uint8_t(packet[offset + 1]));
}

} // namespace

SimplePingReplyValidator::SimplePingReplyValidator(std::uint16_t identifier,
                                                   std::uint16_t nextSequenceNumber,
                                                   bool nextSequenceNumberHasWrapped)
    : m_identifier(identifier)
    , m_nextSequenceNumber(nextSequenceNumber)
    , m_nextSequenceNumberHasWrapped(nextSequenceNumberHasWrapped)
{}

qint64 SimplePingReplyValidator::icmpHeaderOffsetInIPv4Packet(const QByteArray &packet)
{
    if (packet.size() < MinimumIPv4HeaderLength + IcmpEcho::HeaderLength)
        return NotFound;
    const auto versionAndLength = std::uint8_t(packet[0]);
    if ((versionAndLength >> 4) != IPv4Version ||
        std::uint8_t(packet[IPv4ProtocolOffset]) != IPProtocolICMP)
        return NotFound;
    const qint64 headerLength = (versionAndLength & 0x0F) * 4;
    if (packet.size() < headerLength + IcmpEcho::HeaderLength)
        return NotFound;
    return headerLength;
}

bool SimplePingReplyValidator::validateSequenceNumber(std::uint16_t sequenceNumber) const
{
    if (!m_nextSequenceNumberHasWrapped)
        return sequenceNumber < m_nextSequenceNumber;
    return std::uint16_t(m_nextSequenceNumber - sequenceNumber) < AcceptedSequenceWindowAfterWrap;
}

bool SimplePingReplyValidator::validateEchoReply(const QByteArray &packet, qint64 offset,
                                                 std::uint8_t replyType,
                                                 std::uint16_t &sequenceNumber) const
{
    if (std::uint8_t(packet[offset + IcmpEcho::TypeOffset]) != replyType ||
        std::uint8_t(packet[offset + IcmpEcho::CodeOffset]) != 0 ||
        bigEndianAt(packet, offset + IcmpEcho::IdentifierOffset) != m_identifier)
        return false;
    const std::uint16_t received = bigEndianAt(packet, offset + IcmpEcho::SequenceNumberOffset);
    if (!validateSequenceNumber(received))
        return false;
    sequenceNumber = received;
    return true;
}

bool SimplePingReplyValidator::validatePing4ResponsePacket(QByteArray &packet,
                                                           std::uint16_t &sequenceNumber) const
{
    const qint64 offset = icmpHeaderOffsetInIPv4Packet(packet);
    if (offset == NotFound)
        return false;

    QByteArray message = packet.mid(offset);
    std::uint16_t received;
    std::memcpy(&received, message.constData() + IcmpEcho::ChecksumOffset, sizeof received);
    std::memset(message.data() + IcmpEcho::ChecksumOffset, 0, sizeof received);
    if (in_cksum(message.constData(), std::size_t(message.size())) != received)
        return false;

    if (!validateEchoReply(packet, offset, IcmpEcho::EchoReplyIPv4, sequenceNumber))
        return false;
    packet.remove(0, offset);
    return true;
}

bool SimplePingReplyValidator::validatePing6ResponsePacket(const QByteArray &packet,
                                                           std::uint16_t &sequenceNumber) const
{
    if (packet.size() < IcmpEcho::HeaderLength)
        return false;
    return validateEchoReply(packet, 0, IcmpEcho::EchoReplyIPv6, sequenceNumber);
}

bool SimplePingReplyValidator::validatePingResponsePacket(QByteArray &packet, sa_family_t family,
                                                          std::uint16_t &sequenceNumber) const
{
    switch (family) {
    case AF_INET:
        return validatePing4ResponsePacket(packet, sequenceNumber);
    case AF_INET6:
        return validatePing6ResponsePacket(packet, sequenceNumber);
    default:
        return false;
    }
}
