#include "EchoIdentifiers.h"
#include "PingGroupRange.h"
#include "RecordingPingDelegate.h"

#include "client/tools/InternetChecksum.h"
#include "client/tools/SimplePing.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <netinet/in.h>

#include <cerrno>

#include <memory>

using namespace std::chrono_literals;

namespace {

// Qt refuses a label this long before any lookup, so the name fails at once and offline.
const QString UnresolvableName = QString(70, QLatin1Char('a')) + QStringLiteral(".invalid");

std::uint16_t bigEndianAt(const QByteArray &packet, int offset)
{
    return std::uint16_t(std::uint8_t(packet[offset]) << 8 | std::uint8_t(packet[offset + 1]));
}

TEST(SimplePingPacket, DefaultPayloadCountsBottlesDown)
{
    const QByteArray first = SimplePing::defaultPayload(0);
    EXPECT_EQ(first.size(), SimplePing::DefaultPayloadLength);
    EXPECT_EQ(first, QByteArray(26, ' ') + "99 bottles of beer on the wall");
    EXPECT_EQ(SimplePing::defaultPayload(150),
              QByteArray(26, ' ') + "49 bottles of beer on the wall");
    EXPECT_EQ(SimplePing::defaultPayload(99),
              QByteArray(27, ' ') + "0 bottles of beer on the wall");
}

TEST(SimplePingPacket, RequestCarriesIdentifierAndSequenceBigEndian)
{
    SimplePing pinger(QStringLiteral("127.0.0.1"));
    EXPECT_NE(pinger.identifier(), 0);

    const QByteArray ipv4 = pinger.pingPacketWithType(8, QByteArray("0123456789"), true);
    ASSERT_EQ(ipv4.size(), 18);
    EXPECT_EQ(std::uint8_t(ipv4[0]), 8);
    EXPECT_EQ(ipv4[1], 0);
    EXPECT_EQ(bigEndianAt(ipv4, 4), pinger.identifier());
    EXPECT_EQ(bigEndianAt(ipv4, 6), 0);
    EXPECT_EQ(ipv4.mid(8), QByteArray("0123456789"));
    EXPECT_EQ(in_cksum(ipv4.constData(), size_t(ipv4.size())), 0);

    const QByteArray ipv6 = pinger.pingPacketWithType(128, SimplePing::defaultPayload(0), false);
    ASSERT_EQ(ipv6.size(), 64);
    EXPECT_EQ(std::uint8_t(ipv6[0]), 128);
    EXPECT_EQ(bigEndianAt(ipv6, 2), 0) << "no checksum for ICMPv6";
}

class SimplePingRun : public ::testing::Test
{
protected:
    std::shared_ptr<RecordingPingDelegate> delegate = std::make_shared<RecordingPingDelegate>();

    std::unique_ptr<SimplePing> engine(const QString &host, int addressStyle = 0)
    {
        auto pinger = std::make_unique<SimplePing>(host);
        pinger->setDelegate(delegate);
        pinger->setAddressStyle(addressStyle);
        return pinger;
    }

    bool waitFor(const QString &kind, int count = 1)
    {
        return TestSupport::waitUntil([&] { return delegate->count(kind) >= count; }, 5s);
    }
};

TEST_F(SimplePingRun, UnresolvableNameFailsInTheNetworkDomainWithCode2)
{
    auto pinger = engine(UnresolvableName);
    pinger->start();
    ASSERT_TRUE(waitFor(QStringLiteral("fail")));
    const auto *failure = delegate->first(QStringLiteral("fail"));
    EXPECT_EQ(failure->error->domain, SimplePingError::NetworkDomain);
    EXPECT_EQ(failure->error->code, SimplePingError::HostResolutionFailed);
    EXPECT_FALSE(failure->error->description.isEmpty());
    EXPECT_TRUE(pinger->hostAddress().isEmpty());
    EXPECT_EQ(delegate->reports.size(), 1);

    // Stopped, so it may start again; each failure is reported once.
    pinger->start();
    ASSERT_TRUE(waitFor(QStringLiteral("fail"), 2));
    TestSupport::spin(100ms);
    EXPECT_EQ(delegate->reports.size(), 2);
}

TEST_F(SimplePingRun, IPv4OnlyStyleRefusesAnIPv6OnlyNameWithCode1)
{
    auto pinger = engine(QStringLiteral("::1"), SimplePingAddressStyleICMPv4);
    pinger->start();
    ASSERT_TRUE(waitFor(QStringLiteral("fail")));
    const auto *failure = delegate->first(QStringLiteral("fail"));
    EXPECT_EQ(failure->error->domain, SimplePingError::NetworkDomain);
    EXPECT_EQ(failure->error->code, SimplePingError::HostNotFound);
    EXPECT_EQ(pinger->hostAddressFamily(), AF_UNSPEC);
}

TEST_F(SimplePingRun, DelegateMayDestroyTheEngineInsideTheFailureReport)
{
    auto pinger = engine(UnresolvableName);
    delegate->onReport = [&](SimplePing &, const RecordingPingDelegate::Report &) {
        pinger.reset();
    };
    pinger->start();
    ASSERT_TRUE(waitFor(QStringLiteral("fail")));
    EXPECT_EQ(pinger, nullptr);
}

class SimplePingEcho : public SimplePingRun
{
protected:
    void SetUp() override
    {
        if (!range.available())
            GTEST_SKIP() << range.reason().toStdString();
    }

    PingGroupRange range;
};

TEST_F(SimplePingEcho, LoopbackEchoIsSentAndAnsweredOverIPv4)
{
    auto pinger = engine(QStringLiteral("127.0.0.1"));
    pinger->start();
    ASSERT_TRUE(waitFor(QStringLiteral("start")));
    EXPECT_EQ(pinger->hostAddressFamily(), AF_INET);
    EXPECT_EQ(delegate->first(QStringLiteral("start"))->packet, pinger->hostAddress());

    pinger->sendPingWithData();
    pinger->sendPingWithData(QByteArray("ten bytes!"));
    ASSERT_TRUE(waitFor(QStringLiteral("reply"), 2));
    EXPECT_EQ(pinger->nextSequenceNumber(), 2);

    const auto *sent = delegate->first(QStringLiteral("sent"));
    EXPECT_EQ(sent->sequenceNumber, 0);
    EXPECT_EQ(sent->packet.size(), 8 + SimplePing::DefaultPayloadLength);

    QList<RecordingPingDelegate::Report> replies;
    for (const auto &report : delegate->reports) {
        if (report.kind == QStringLiteral("reply"))
            replies.append(report);
    }
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(replies[0].sequenceNumber, 0);
    EXPECT_EQ(std::uint8_t(replies[0].packet[0]), 0) << "starts at the ICMP header";
    EXPECT_EQ(bigEndianAt(replies[0].packet, 4), pinger->identifier());
    EXPECT_EQ(replies[0].packet.mid(8), SimplePing::defaultPayload(0));
    EXPECT_EQ(replies[1].sequenceNumber, 1);
    EXPECT_EQ(replies[1].packet.size(), 18);
    EXPECT_EQ(delegate->count(QStringLiteral("unexpected")), 0);
}

TEST_F(SimplePingEcho, RefusedSendIsReportedAndTheEngineGoesOn)
{
    auto pinger = engine(QStringLiteral("127.0.0.1"));
    pinger->start();
    ASSERT_TRUE(waitFor(QStringLiteral("start")));

    // An echo request larger than an IP datagram can carry: the socket refuses to send it.
    constexpr int kLargestIpDatagram = 0xFFFF;
    const QByteArray oversized(kLargestIpDatagram, 'x');
    pinger->sendPingWithData(oversized);
    const auto *refused = delegate->first(QStringLiteral("sendFailed"));
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->sequenceNumber, 0);
    EXPECT_EQ(refused->packet.size(), 8 + oversized.size());
    EXPECT_EQ(refused->error->domain, SimplePingError::PosixDomain);
    EXPECT_EQ(refused->error->code, EMSGSIZE);
    EXPECT_FALSE(refused->error->description.isEmpty());
    EXPECT_EQ(pinger->nextSequenceNumber(), 1);
    EXPECT_EQ(pinger->hostAddressFamily(), AF_INET);

    // Still running: the next request goes out under the next number and is answered.
    pinger->sendPingWithData();
    ASSERT_TRUE(waitFor(QStringLiteral("reply")));
    EXPECT_EQ(delegate->first(QStringLiteral("sent"))->sequenceNumber, 1);
    EXPECT_EQ(delegate->first(QStringLiteral("reply"))->sequenceNumber, 1);
    EXPECT_EQ(delegate->count(QStringLiteral("fail")), 0);
    EXPECT_EQ(delegate->count(QStringLiteral("sendFailed")), 1);
}

TEST_F(SimplePingEcho, LoopbackEchoIsAnsweredOverIPv6)
{
    auto pinger = engine(QStringLiteral("::1"), SimplePingAddressStyleICMPv6);
    pinger->start();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !delegate->reports.isEmpty(); }, 5s));
    if (delegate->first(QStringLiteral("fail")))
        GTEST_SKIP() << "no ICMPv6 here: "
                     << delegate->first(QStringLiteral("fail"))->error->description.toStdString();
    EXPECT_EQ(pinger->hostAddressFamily(), AF_INET6);
    pinger->sendPingWithData();
    ASSERT_TRUE(waitFor(QStringLiteral("reply")));
    const auto *reply = delegate->first(QStringLiteral("reply"));
    EXPECT_EQ(std::uint8_t(reply->packet[0]), 129);
    EXPECT_EQ(reply->packet.mid(8), SimplePing::defaultPayload(0));
}

TEST_F(SimplePingEcho, StartAfterStopResolvesAgainAndKeepsCounting)
{
    auto pinger = engine(QStringLiteral("127.0.0.1"));
    const std::uint16_t identifier = pinger->identifier();
    pinger->start();
    ASSERT_TRUE(waitFor(QStringLiteral("start")));
    pinger->sendPingWithData();
    ASSERT_TRUE(waitFor(QStringLiteral("reply")));
    pinger->stop();
    pinger->stop();
    EXPECT_TRUE(pinger->hostAddress().isEmpty());

    pinger->start();
    ASSERT_TRUE(waitFor(QStringLiteral("start"), 2));
    pinger->sendPingWithData();
    ASSERT_TRUE(waitFor(QStringLiteral("reply"), 2));
    EXPECT_EQ(delegate->reports.last().sequenceNumber, 1);
    EXPECT_EQ(pinger->identifier(), identifier);
}

TEST_F(SimplePingEcho, IdentifierHeldByAnotherSocketIsDrawnAgain)
{
    const HeldEchoIdentifier held;
    ASSERT_NE(held.value(), 0);
    const std::uint16_t other = freeEchoIdentifier();
    ASSERT_NE(other, 0);
    int draws = 0;
    auto pinger = std::make_unique<SimplePing>(QStringLiteral("127.0.0.1"),
                                               [&] { return ++draws == 1 ? held.value() : other; });
    pinger->setDelegate(delegate);
    ASSERT_EQ(pinger->identifier(), held.value());

    pinger->start();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !delegate->reports.isEmpty(); }, 5s));
    ASSERT_EQ(delegate->reports.first().kind, QStringLiteral("start"))
        << delegate->reports.first().error->description.toStdString();
    EXPECT_EQ(pinger->identifier(), other);
    EXPECT_EQ(draws, 2);

    // Replies carry the identifier drawn again, and match it.
    pinger->sendPingWithData();
    ASSERT_TRUE(waitFor(QStringLiteral("reply")));
    EXPECT_EQ(bigEndianAt(delegate->first(QStringLiteral("reply"))->packet, 4), other);
}

TEST_F(SimplePingEcho, IdentifierHeldAtEveryDrawFailsTheEngine)
{
    const HeldEchoIdentifier held;
    ASSERT_NE(held.value(), 0);
    int draws = 0;
    auto pinger = std::make_unique<SimplePing>(QStringLiteral("127.0.0.1"), [&] {
        ++draws;
        return held.value();
    });
    pinger->setDelegate(delegate);

    pinger->start();
    ASSERT_TRUE(waitFor(QStringLiteral("fail")));
    const auto *failure = delegate->first(QStringLiteral("fail"));
    EXPECT_EQ(failure->error->domain, SimplePingError::PosixDomain);
    EXPECT_EQ(failure->error->code, EADDRINUSE);
    EXPECT_EQ(draws, SimplePing::IdentifierAttempts);
    EXPECT_EQ(delegate->count(QStringLiteral("start")), 0);
}

TEST_F(SimplePingEcho, DelegateMayDestroyTheEngineInsideAReplyReport)
{
    auto pinger = engine(QStringLiteral("127.0.0.1"));
    delegate->onReport = [&](SimplePing &engine, const RecordingPingDelegate::Report &report) {
        if (report.kind == QStringLiteral("start"))
            engine.sendPingWithData();
        if (report.kind == QStringLiteral("reply"))
            pinger.reset();
    };
    pinger->start();
    ASSERT_TRUE(waitFor(QStringLiteral("reply")));
    EXPECT_EQ(pinger, nullptr);
    TestSupport::spin(100ms);
}

TEST_F(SimplePingRun, SendingBeforeTheStartIsRefusedWithoutCounting)
{
    auto pinger = engine(QStringLiteral("127.0.0.1"));
    pinger->sendPingWithData();
    EXPECT_EQ(pinger->nextSequenceNumber(), 0);
    EXPECT_TRUE(delegate->reports.isEmpty());
}

} // namespace
