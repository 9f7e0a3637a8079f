#include "PingGroupRange.h"

#include "client/tools/JFPingManager.h"
#include "client/tools/JFPingServices.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QString UnresolvableName = QString(70, QLatin1Char('b')) + QStringLiteral(".invalid");

class PrintedLines
{
public:
    JFPingOutput output()
    {
        return [this](const QString &line) { lines.append(line); };
    }
    bool contains(const QString &line) const { return lines.contains(line); }
    int count(const QString &line) const { return int(lines.count(line)); }

    QStringList lines;
};

struct Completion
{
    int calls = 0;
    QString result;
    bool onMainThread = false;

    JFPingManager::Finished callback()
    {
        return [this](const QString &fastest) {
            ++calls;
            result = fastest;
            onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        };
    }
};

TEST(JFPingManager, EmptyListPrintsItsLineAndNeverCompletes)
{
    PrintedLines printed;
    Completion completion;
    JFPingManager::getFastestAddress({}, completion.callback(), printed.output());
    TestSupport::spin(300ms);
    EXPECT_EQ(completion.calls, 0);
    EXPECT_EQ(printed.lines, QStringList{QStringLiteral("ip地址列表不能为空")});
}

TEST(JFPingManager, OnlyUnresolvableNamesCompleteWithNothing)
{
    PrintedLines printed;
    Completion completion;
    JFPingManager::getFastestAddress({UnresolvableName, UnresolvableName + QStringLiteral("x")},
                                     completion.callback(), printed.output());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return completion.calls > 0; }, 5s));
    EXPECT_TRUE(completion.result.isNull());
    EXPECT_TRUE(completion.onMainThread);
    EXPECT_TRUE(printed.contains(UnresolvableName + QStringLiteral(" fail")));
    EXPECT_TRUE(printed.contains(QStringLiteral("移除ping失败的ip: ") + UnresolvableName));
    TestSupport::spin(100ms);
    EXPECT_EQ(completion.calls, 1);
}

class JFPingEcho : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!range.available())
            GTEST_SKIP() << range.reason().toStdString();
    }

    PingGroupRange range;
    PrintedLines printed;
    Completion completion;
};

const QRegularExpression ResultPattern(QStringLiteral("^(127\\.0\\.0\\.[1-3])-\\d+\\.\\d\\dms$"));

TEST_F(JFPingEcho, NamesTheFastestOfSeveralLoopbackAddresses)
{
    const QStringList addresses{QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2"),
                                QStringLiteral("127.0.0.3")};
    JFPingManager::getFastestAddress(addresses, completion.callback(), printed.output());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return completion.calls > 0; }, 10s));
    EXPECT_TRUE(completion.onMainThread);
    const QRegularExpressionMatch match = ResultPattern.match(completion.result);
    ASSERT_TRUE(match.hasMatch()) << completion.result.toStdString();

    for (const QString &address : addresses) {
        EXPECT_TRUE(printed.contains(QStringLiteral("start ping ") + address));
        EXPECT_TRUE(printed.contains(address + QStringLiteral(" stop")));
        EXPECT_TRUE(printed.contains(address + QStringLiteral(" 完成")));
        EXPECT_TRUE(printed.contains(address + QStringLiteral(" #2 send packet success")));
    }
    const QString average = completion.result.section(QLatin1Char('-'), 1);
    EXPECT_TRUE(printed.contains(QStringLiteral("最快的地址是:") + match.captured(1) +
                                 QStringLiteral(" 平均延迟:") + average));
    EXPECT_EQ(printed.lines.last(), QStringLiteral("最快的地址是:") + match.captured(1) +
                                        QStringLiteral(" 平均延迟:") + average);
}

TEST_F(JFPingEcho, UnresolvableNameIsDroppedWhileTheOthersCompete)
{
    JFPingManager::getFastestAddress({UnresolvableName, QStringLiteral("127.0.0.1")},
                                     completion.callback(), printed.output());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return completion.calls > 0; }, 10s));
    EXPECT_TRUE(completion.result.startsWith(QStringLiteral("127.0.0.1-")))
        << completion.result.toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("移除ping失败的ip: ") + UnresolvableName));
}

TEST_F(JFPingEcho, AddressListedTwiceIsPingedByTwoRunsThatBothFinish)
{
    JFPingManager::getFastestAddress({QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1")},
                                     completion.callback(), printed.output());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return completion.calls > 0; }, 10s));
    EXPECT_TRUE(completion.result.startsWith(QStringLiteral("127.0.0.1-")));
    EXPECT_EQ(printed.count(QStringLiteral("127.0.0.1 完成")), 2);
    EXPECT_EQ(printed.count(QStringLiteral("start ping 127.0.0.1")), 2);
}

TEST_F(JFPingEcho, RunReportsItsEventsInOrder)
{
    QList<JFPingItem> items;
    auto run = JFPingServices::start(
        QStringLiteral("127.0.0.1"), 2, [&](const JFPingItem &item) { items.append(item); },
        printed.output());
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return !items.isEmpty() && items.last().status == JFPingStatus::didFinished; }, 5s));

    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(items.first().status, JFPingStatus::didStart);
    EXPECT_EQ(items.first().hostName, QStringLiteral("127.0.0.1"));
    EXPECT_FALSE(items.first().timeMilliseconds.has_value());
    int replies = 0;
    for (const JFPingItem &item : items.mid(1, items.size() - 2)) {
        EXPECT_EQ(item.status, JFPingStatus::didReceivePacket);
        ASSERT_TRUE(item.timeMilliseconds.has_value());
        EXPECT_GE(*item.timeMilliseconds, 0.0);
        EXPECT_LT(*item.timeMilliseconds, 400.0);
        ++replies;
    }
    EXPECT_EQ(replies, 2);
    EXPECT_TRUE(printed.contains(QStringLiteral("127.0.0.1 #1 send packet success")));
    EXPECT_FALSE(printed.contains(QStringLiteral("127.0.0.1 #2 send packet success")));
    const QRegularExpression replyLine(
        QStringLiteral("^127\\.0\\.0\\.1 #0 received, size=64 time=\\d+\\.\\d\\d ms$"));
    EXPECT_TRUE(printed.lines.indexOf(replyLine) >= 0) << printed.lines.join('\n').toStdString();

    const qsizetype reported = items.size();
    TestSupport::spin(600ms);
    EXPECT_EQ(items.size(), reported) << "nothing after the end";
}

TEST_F(JFPingEcho, RequestsGoOutNoSoonerThanTheirInterval)
{
    constexpr int Requests = 4;
    QList<std::chrono::steady_clock::time_point> sent;
    bool finished = false;
    auto run = JFPingServices::start(
        QStringLiteral("127.0.0.1"), Requests,
        [&](const JFPingItem &item) { finished = item.status == JFPingStatus::didFinished; },
        [&](const QString &line) {
            if (line.endsWith(QLatin1String(" send packet success")))
                sent.append(std::chrono::steady_clock::now());
        });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return finished; }, 10s));

    // Request k goes out k intervals after the first at the earliest, however late a firing was.
    ASSERT_EQ(sent.size(), Requests);
    for (int k = 1; k < Requests; ++k)
        EXPECT_GE(sent[k] - sent.first(), k * JFPingServices::SendInterval) << k;
}

TEST_F(JFPingEcho, RunWithNoRequestsFinishesAsSoonAsTheEngineIsReady)
{
    QList<JFPingItem> items;
    auto run = JFPingServices::start(
        QStringLiteral("127.0.0.1"), 0, [&](const JFPingItem &item) { items.append(item); },
        printed.output());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !items.isEmpty(); }, 5s));
    TestSupport::spin(500ms);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.first().status, JFPingStatus::didFinished);
    EXPECT_EQ(printed.lines, (QStringList{QStringLiteral("start ping 127.0.0.1"),
                                          QStringLiteral("127.0.0.1 stop")}));
}

} // namespace
