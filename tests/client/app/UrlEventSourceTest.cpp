#include "client/platform/UrlEventSource.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDataStream>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

using namespace std::chrono_literals;
using Role = UrlEventSource::Role;

namespace {

// A handler that keeps every URL and its reply, answering only when told.
struct Recorder
{
    QStringList urls;
    QList<UrlEventSource::Reply> replies;

    UrlEventSource::Handler handler()
    {
        return [this](const QString &url, const UrlEventSource::Reply &reply) {
            urls << url;
            replies << reply;
        };
    }
};

class UrlEventSourceTest : public ::testing::Test
{
protected:
    UrlEventSource::Options options(std::chrono::milliseconds deadline = 5s) const
    {
        UrlEventSource::Options result;
        result.folder = m_dir.path();
        result.forwardDeadline = deadline;
        result.retryInterval = 20ms;
        return result;
    }

    std::unique_ptr<UrlEventSource> source(std::chrono::milliseconds deadline = 5s) const
    {
        return std::make_unique<UrlEventSource>(options(deadline));
    }

    // The probe launch, with its standard output collected.
    void startProbe(QProcess &probe, const QStringList &arguments)
    {
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        probe.start(QStringLiteral(URL_EVENT_PROBE), QStringList{m_dir.path()} + arguments);
        ASSERT_TRUE(probe.waitForStarted(5000));
    }

    static bool printed(QProcess &probe, QByteArray &output, const QByteArray &line)
    {
        output += probe.readAllStandardOutput();
        return output.split('\n').contains(line);
    }

    QTemporaryDir m_dir;
};

TEST_F(UrlEventSourceTest, RunningInstanceDeliversItsLaunchUrlsFromTheEventLoop)
{
    auto primary = source();
    primary->start({QStringLiteral("vandrix://?a"), QStringLiteral("vandrix://?b")});
    ASSERT_EQ(primary->role(), Role::Primary);

    Recorder recorder;
    primary->setHandler(recorder.handler());
    EXPECT_TRUE(recorder.urls.isEmpty()) << "delivered inside setHandler";
    ASSERT_TRUE(TestSupport::waitUntil([&] { return recorder.urls.size() == 2; }));
    EXPECT_EQ(recorder.urls, QStringList({"vandrix://?a", "vandrix://?b"}));
}

TEST_F(UrlEventSourceTest, LaterLaunchEndsOnlyOnceItsUrlHasBeenHandled)
{
    auto primary = source();
    primary->start({});
    Recorder recorder;
    primary->setHandler(recorder.handler());

    auto later = source();
    later->start({QStringLiteral("vandrix://?params=x")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return recorder.urls.size() == 1; }));
    EXPECT_EQ(recorder.urls.first(), "vandrix://?params=x");

    TestSupport::spin(200ms);
    EXPECT_EQ(later->role(), Role::Undecided) << "ended before the URL was handled";
    recorder.replies.first()();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return later->role() == Role::Forwarded; }));
    EXPECT_EQ(recorder.urls.size(), 1);
}

TEST_F(UrlEventSourceTest, LaterLaunchTakesOverWhenTheRunningInstanceEndsWithoutAnswering)
{
    auto primary = source();
    primary->start({});
    Recorder first;
    primary->setHandler(first.handler());

    auto later = source();
    later->start({QStringLiteral("vandrix://?late")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return first.urls.size() == 1; }));
    // The idle exit begins while the URL is still being converted.
    primary->close();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return later->role() == Role::Primary; }));
    first.replies.first()(); // too late: answers nothing

    Recorder second;
    later->setHandler(second.handler());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return second.urls.size() == 1; }));
    EXPECT_EQ(second.urls.first(), "vandrix://?late");
}

TEST_F(UrlEventSourceTest, LaunchAfterTheRunningInstanceEndedRunsItself)
{
    auto primary = source();
    primary->start({});
    primary->close();

    auto later = source();
    later->start({QStringLiteral("vandrix://?x")});
    EXPECT_EQ(later->role(), Role::Primary);
}

TEST_F(UrlEventSourceTest, LaunchWithoutUrlsIsAcknowledgedAtOnce)
{
    auto primary = source();
    primary->start({});
    Recorder recorder;
    primary->setHandler(recorder.handler());

    auto later = source();
    later->start({});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return later->role() == Role::Forwarded; }));
    EXPECT_TRUE(recorder.urls.isEmpty());
}

TEST_F(UrlEventSourceTest, GivesUpAtTheDeadlineWithoutSendingTwice)
{
    auto primary = source();
    primary->start({});
    Recorder recorder;
    primary->setHandler(recorder.handler());

    auto later = source(300ms);
    later->start({QStringLiteral("vandrix://?stuck")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return later->role() == Role::Failed; }, 5s));
    TestSupport::spin(100ms);
    EXPECT_EQ(recorder.urls, QStringList{"vandrix://?stuck"});
}

TEST_F(UrlEventSourceTest, RefusesMessagesItDoesNotUnderstand)
{
    auto primary = source();
    primary->start({});
    Recorder recorder;
    primary->setHandler(recorder.handler());

    struct Message
    {
        const char *what;
        quint32 magic;
        quint16 version;
        quint32 count;
    };
    const Message messages[] = {
        {"wrong magic", 0x12345678, UrlEventSource::kProtocolVersion, 1},
        {"unknown version", UrlEventSource::kMagic, UrlEventSource::kProtocolVersion + 1, 1},
        {"too many URLs", UrlEventSource::kMagic, UrlEventSource::kProtocolVersion,
         UrlEventSource::kMaxUrls + 1},
    };
    for (const Message &message : messages) {
        QLocalSocket socket;
        socket.connectToServer(primary->serverPath());
        ASSERT_TRUE(TestSupport::waitUntil([&] {
            return socket.state() == QLocalSocket::ConnectedState;
        })) << message.what;
        QDataStream out(&socket);
        out.setVersion(QDataStream::Qt_6_0);
        out << message.magic << message.version << message.count << QStringLiteral("vandrix://?x");
        socket.flush();
        EXPECT_TRUE(TestSupport::waitUntil([&] {
            return socket.state() == QLocalSocket::UnconnectedState;
        })) << message.what;
        EXPECT_EQ(socket.bytesAvailable(), 0) << message.what << ": acknowledged";
    }
    EXPECT_TRUE(recorder.urls.isEmpty());
}

TEST_F(UrlEventSourceTest, SecondLaunchProcessHandsItsUrlToTheRunningInstance)
{
    auto primary = source();
    primary->start({});
    Recorder recorder;
    primary->setHandler(recorder.handler());

    QProcess probe;
    startProbe(probe, {QStringLiteral("reply"), QStringLiteral("vandrix://?params=%7B%7D")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return recorder.urls.size() == 1; }));
    EXPECT_EQ(recorder.urls.first(), "vandrix://?params=%7B%7D");
    TestSupport::spin(300ms);
    EXPECT_EQ(probe.state(), QProcess::Running) << "ended before its URL was handled";

    recorder.replies.first()();
    ASSERT_TRUE(probe.waitForFinished(5000));
    EXPECT_EQ(probe.exitCode(), 0);
    EXPECT_TRUE(probe.readAllStandardOutput().contains("forwarded"));
}

TEST_F(UrlEventSourceTest, TakesOverFromARunningInstanceProcessInItsIdleExit)
{
    QProcess probe;
    QByteArray output;
    startProbe(probe, {QStringLiteral("hold")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return printed(probe, output, "primary"); }));

    auto later = source();
    later->start({QStringLiteral("vandrix://?params=late")});
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return printed(probe, output, "url vandrix://?params=late"); }));
    probe.closeWriteChannel(); // the running instance ends without answering
    ASSERT_TRUE(TestSupport::waitUntil([&] { return later->role() == Role::Primary; }));

    Recorder recorder;
    later->setHandler(recorder.handler());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return recorder.urls.size() == 1; }));
    EXPECT_EQ(recorder.urls.first(), "vandrix://?params=late");
    EXPECT_TRUE(TestSupport::waitUntil([&] { return probe.state() == QProcess::NotRunning; }));
}

TEST_F(UrlEventSourceTest, ReplacesTheLockAndSocketOfAKilledInstance)
{
    QProcess probe;
    QByteArray output;
    startProbe(probe, {QStringLiteral("hold")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return printed(probe, output, "primary"); }));
    probe.kill();
    ASSERT_TRUE(probe.waitForFinished(5000));

    auto primary = source();
    ASSERT_TRUE(QFileInfo::exists(primary->lockPath()));
    ASSERT_TRUE(QFileInfo::exists(primary->serverPath()));
    primary->start({});
    ASSERT_EQ(primary->role(), Role::Primary);
    Recorder recorder;
    primary->setHandler(recorder.handler());

    auto later = source();
    later->start({QStringLiteral("vandrix://?after")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return recorder.urls.size() == 1; }));
    recorder.replies.first()();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return later->role() == Role::Forwarded; }));
}

} // namespace
