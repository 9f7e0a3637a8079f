#include "client/tools/SimplePingReplyValidator.h"
#include "client/tools/InternetChecksum.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr std::uint16_t OurIdentifier = 0xBEEF;

struct EchoMessage
{
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::uint16_t identifier = OurIdentifier;
    std::uint16_t sequenceNumber = 3;
    QByteArray payload = "payload bytes";
    bool correctChecksum = true;
};

QByteArray icmpMessage(const EchoMessage &echo)
{
    QByteArray message(8, '\0');
    message[0] = char(echo.type);
    message[1] = char(echo.code);
    message[4] = char(echo.identifier >> 8);
    message[5] = char(echo.identifier & 0xFF);
    message[6] = char(echo.sequenceNumber >> 8);
    message[7] = char(echo.sequenceNumber & 0xFF);
    message += echo.payload;
    std::uint16_t checksum = in_cksum(message.constData(), size_t(message.size()));
    if (!echo.correctChecksum)
        checksum ^= 0x0101;
    std::memcpy(message.data() + 2, &checksum, sizeof checksum);
    return message;
}

QByteArray ipv4Datagram(const QByteArray &message, int headerWords = 5, int version = 4,
                        int protocol = 1)
{
    QByteArray header(headerWords * 4, '\0');
    header[0] = char(version << 4 | headerWords);
    header[9] = char(protocol);
    return header + message;
}

struct Ipv4Case
{
    const char *name;
    QByteArray datagram;
    bool valid;
};

TEST(SimplePingReplyValidator, JudgesIPv4Datagrams)
{
    const EchoMessage good;
    EchoMessage otherEngine;
    otherEngine.identifier = 0x1234;
    EchoMessage badChecksum;
    badChecksum.correctChecksum = false;
    EchoMessage request;
    request.type = 8;
    EchoMessage nonzeroCode;
    nonzeroCode.code = 1;
    EchoMessage unsent;
    unsent.sequenceNumber = 10;
    EchoMessage headerOnly;
    headerOnly.payload.clear();

    const Ipv4Case cases[] = {
        {"valid reply", ipv4Datagram(icmpMessage(good)), true},
        {"header with options", ipv4Datagram(icmpMessage(good), 6), true},
        {"another engine's identifier", ipv4Datagram(icmpMessage(otherEngine)), false},
        {"wrong checksum", ipv4Datagram(icmpMessage(badChecksum)), false},
        {"echo request", ipv4Datagram(icmpMessage(request)), false},
        {"nonzero code", ipv4Datagram(icmpMessage(nonzeroCode)), false},
        {"sequence not yet sent", ipv4Datagram(icmpMessage(unsent)), false},
        {"not IPv4", ipv4Datagram(icmpMessage(good), 5, 6), false},
        {"not ICMP", ipv4Datagram(icmpMessage(good), 5, 4, 17), false},
        {"shorter than 28 bytes", ipv4Datagram(icmpMessage(good)).left(27), false},
        {"28 bytes, no payload", ipv4Datagram(icmpMessage(headerOnly)), true},
        {"header longer than the datagram",
         ipv4Datagram(icmpMessage(headerOnly)).left(28).replace(0, 1, QByteArray(1, char(0x4F))),
         false},
    };
    const SimplePingReplyValidator validator(OurIdentifier, 5, false);
    for (const Ipv4Case &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        QByteArray packet = testCase.datagram;
        std::uint16_t sequenceNumber = 0xFFFF;
        EXPECT_EQ(validator.validatePingResponsePacket(packet, AF_INET, sequenceNumber),
                  testCase.valid);
        if (testCase.valid) {
            EXPECT_EQ(sequenceNumber, 3);
            EXPECT_EQ(packet, testCase.datagram.mid((testCase.datagram[0] & 0x0F) * 4))
                << "the IP header is removed";
        } else {
            EXPECT_EQ(packet, testCase.datagram) << "an unexpected datagram stays as read";
        }
    }
}

TEST(SimplePingReplyValidator, JudgesICMPv6MessagesWithoutChecksum)
{
    EchoMessage reply;
    reply.type = 129;
    reply.correctChecksum = false; // the kernel checks it, the engine does not
    EchoMessage request = reply;
    request.type = 128;
    EchoMessage otherEngine = reply;
    otherEngine.identifier = 1;

    const SimplePingReplyValidator validator(OurIdentifier, 5, false);
    std::uint16_t sequenceNumber = 0;
    QByteArray packet = icmpMessage(reply);
    EXPECT_TRUE(validator.validatePingResponsePacket(packet, AF_INET6, sequenceNumber));
    EXPECT_EQ(packet, icmpMessage(reply));
    EXPECT_EQ(sequenceNumber, 3);

    for (QByteArray invalid :
         {icmpMessage(request), icmpMessage(otherEngine), icmpMessage(reply).left(7)}) {
        EXPECT_FALSE(validator.validatePingResponsePacket(invalid, AF_INET6, sequenceNumber));
    }
    EXPECT_FALSE(validator.validatePingResponsePacket(packet, AF_UNSPEC, sequenceNumber));
}

struct SequenceCase
{
    std::uint16_t next;
    bool wrapped;
    std::uint16_t received;
    bool acceptable;
};

TEST(SimplePingReplyValidator, AcceptsSequenceNumbersBeforeAndAfterTheWrap)
{
    const SequenceCase cases[] = {
        {5, false, 0, true},    {5, false, 4, true},     {5, false, 5, false},
        {5, false, 6, false},   {0, false, 0, false},    {60000, false, 1, true},
        {5, true, 5, true},     {5, true, 0, true},      {5, true, 65535, true},
        {5, true, 65422, true}, {5, true, 65421, false}, {5, true, 6, false},
        {300, true, 181, true}, {300, true, 180, false}, {300, true, 299, true},
    };
    for (const SequenceCase &testCase : cases) {
        const SimplePingReplyValidator validator(OurIdentifier, testCase.next, testCase.wrapped);
        EXPECT_EQ(validator.validateSequenceNumber(testCase.received), testCase.acceptable)
            << "next " << testCase.next << (testCase.wrapped ? " wrapped" : "") << ", received "
            << testCase.received;
    }
}

} // namespace
