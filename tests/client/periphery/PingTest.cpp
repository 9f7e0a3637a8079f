#include "PingGroupRange.h"

#include "client/tools/InternetChecksum.h"
#include "client/tools/Ping.h"
#include "client/tools/PingTester.h"
#include "foundation/logging/Log.h"

#include "support/LogCapture.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr int TimeoutMs = 1500;

TEST(PingRequest, LaysOutTheSixtyFourBytesInHostOrder)
{
    const auto request = PingRequest(0x1234, 0x0102030405060708, 0x0A0B0C0D);
    EXPECT_EQ(request.size(), 64u);
    EXPECT_EQ(request[0], 8);
    EXPECT_EQ(request[1], 0);

    std::uint16_t identifier = 0;
    std::memcpy(&identifier, request.data() + 4, 2);
    EXPECT_EQ(identifier, 0x1234);
    EXPECT_EQ(request[6], 0);
    EXPECT_EQ(request[7], 0);

    std::int64_t seconds = 0;
    std::int32_t microseconds = 0;
    std::memcpy(&seconds, request.data() + 8, 8);
    std::memcpy(&microseconds, request.data() + 16, 4);
    EXPECT_EQ(seconds, 0x0102030405060708);
    EXPECT_EQ(microseconds, 0x0A0B0C0D);
    for (size_t i = 20; i < request.size(); ++i)
        EXPECT_EQ(request[i], 0) << i;

    EXPECT_EQ(in_cksum(request.data(), request.size()), 0) << "checksum covers all 64 bytes";
}

class PingEcho : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!range.available())
            GTEST_SKIP() << range.reason().toStdString();
    }

    PingGroupRange range;
};

TEST_F(PingEcho, LoopbackAnswers)
{
    EXPECT_EQ(Ping("127.0.0.1", TimeoutMs), 1);
}

TEST_F(PingEcho, SeveralAtOnceFromThreadsAllMatchTheirReplies)
{
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] { answered += Ping("127.0.0.1", TimeoutMs); });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(answered.load(), 4);
}

TEST_F(PingEcho, ReplyFromAnotherSpellingOfTheAddressFailsAtOnce)
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Ping("127.000.000.001", TimeoutMs), 0);
    EXPECT_LT(clock.elapsed(), TimeoutMs);
}

TEST_F(PingEcho, NegativeTimeoutFailsWithoutWaiting)
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Ping("127.0.0.1", -1), 0);
    EXPECT_LT(clock.elapsed(), TimeoutMs);
}

TEST_F(PingEcho, LinesNameTheFunctionPing)
{
    struct Case
    {
        const char *address;
        int timeout;
        const char *line;
    };
    const Case cases[] = {
        {"127.000.000.001", TimeoutMs, "Ping,ip:127.000.000.001,from ip error :127.0.0.1"},
        {"127.0.0.1", -1, "Ping,ip:127.0.0.1,setsockopt error"},
    };
    const QRegularExpression prefix(QStringLiteral("^f: Ping, l: \\d+,\n"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address);
        LogCapture log;
        EXPECT_EQ(Ping(c.address, c.timeout), 0);
        Log::flush();
        const QStringList lines = log.lines();
        ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
        EXPECT_TRUE(prefix.match(lines.first()).hasMatch()) << lines.first().toStdString();
        EXPECT_TRUE(lines.first().endsWith(QLatin1String(c.line))) << lines.first().toStdString();
    }
}

TEST_F(PingEcho, TesterTimesTheWholeExchange)
{
    QElapsedTimer clock;
    clock.start();
    const double milliseconds = PingTester::Ping(QStringLiteral("127.0.0.1"), TimeoutMs);
    const qint64 outside = clock.elapsed();
    EXPECT_GT(milliseconds, 0.0);
    EXPECT_LE(milliseconds, double(outside) + 1.0);
    EXPECT_EQ(&PingTester::sharedTester(), &PingTester::sharedTester());
}

TEST(PingTester, NonAsciiTextGivesZeroWithoutNetwork)
{
    EXPECT_EQ(PingTester::Ping(QStringLiteral("127.0.0.\u0661"), TimeoutMs), 0.0);
}

} // namespace
