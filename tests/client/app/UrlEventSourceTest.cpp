#include "client/platform/UrlEventSource.h"

#include "support/LogCapture.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

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

// ---- where the lock and the socket may live

constexpr auto kRuntimeVariable = "XDG_RUNTIME_DIR";
constexpr auto kTemporaryVariable = "TMPDIR";
constexpr mode_t kSharedMode = 01777;
constexpr mode_t kPrivateMode = 0700;

// A folder of ours with exactly that mode.
bool makeFolder(const QString &path, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    return ::mkdir(name.constData(), mode) == 0 && ::chmod(name.constData(), mode) == 0;
}

// The user's runtime folder unset and the temporary folder a fresh one that every user may
// write, like /tmp; the process's own settings come back at the end.
class RuntimeFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_shared.isValid());
        ASSERT_EQ(::chmod(QFile::encodeName(m_shared.path()).constData(), kSharedMode), 0);
        remember(kRuntimeVariable);
        remember(kTemporaryVariable);
        qunsetenv(kRuntimeVariable);
        qputenv(kTemporaryVariable, QFile::encodeName(m_shared.path()));
    }

    void TearDown() override
    {
        for (const auto &[name, value] : std::as_const(m_saved)) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }

    QString shared(const QString &name) const { return m_shared.filePath(name); }

    // Every entry below the shared folder that a running instance would have made.
    QStringList instanceEntries() const
    {
        QStringList found;
        QDirIterator entries(m_shared.path(),
                             QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                             QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            const QString entry = entries.next();
            if (entry.endsWith(QLatin1String(".lock")) || entry.endsWith(QLatin1String(".socket")))
                found << entry;
        }
        return found;
    }

private:
    void remember(const char *name)
    {
        m_saved.append({name, qEnvironmentVariableIsSet(name)
                                  ? std::optional<QByteArray>(qgetenv(name))
                                  : std::nullopt});
    }

    QTemporaryDir m_shared;
    QList<std::pair<const char *, std::optional<QByteArray>>> m_saved;
};

struct RefusedCase
{
    const char *name;
    bool plantedByAnotherUser;
    // Plants the entry at the folder's place.
    std::function<bool(const QString &folder)> plant;
    bool runtimeFolderSet = false; // the entry is the user's runtime folder, not the fallback
};

void PrintTo(const RefusedCase &c, std::ostream *out)
{
    *out << c.name;
}

class RefusedRuntimeFolder : public RuntimeFolderTest,
                             public ::testing::WithParamInterface<RefusedCase>
{};

TEST_P(RefusedRuntimeFolder, NothingIsMadeThereAndTheLaunchRunsAlone)
{
    const RefusedCase &c = GetParam();
    if (c.plantedByAnotherUser && ::getuid() != 0)
        GTEST_SKIP() << "planting as another user needs root";
    const QString folder =
        c.runtimeFolderSet ? shared(QStringLiteral("runtime")) : UrlEventSource::defaultFolder();
    if (c.runtimeFolderSet)
        qputenv(kRuntimeVariable, QFile::encodeName(folder));
    ASSERT_TRUE(folder.startsWith(shared(QString()))) << folder.toStdString();
    ASSERT_TRUE(c.plant(folder));

    LogCapture log;
    UrlEventSource source;
    source.start({QStringLiteral("vandrix://?alone")});
    ASSERT_EQ(source.role(), Role::Primary);
    EXPECT_EQ(log.count(QStringLiteral("!!refused the folder")), 1);
    Recorder recorder;
    source.setHandler(recorder.handler());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return recorder.urls.size() == 1; }));
    EXPECT_EQ(recorder.urls.first(), "vandrix://?alone");
    EXPECT_EQ(instanceEntries(), QStringList());

    source.close();
    EXPECT_EQ(instanceEntries(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Planted, RefusedRuntimeFolder,
    ::testing::Values(
        RefusedCase{"folderOfAnotherUser", true,
                    [](const QString &folder) {
                        return OtherUser::run({"mkdir", "-m", "0700", folder});
                    }},
        RefusedCase{
            "linkToAFolderOfOurs", true,
            [](const QString &folder) {
                const QString ours = QFileInfo(folder).path() + QStringLiteral("/ours");
                return makeFolder(ours, kPrivateMode) && OtherUser::run({"ln", "-s", ours, folder});
            }},
        RefusedCase{"fileOfAnotherUser", true,
                    [](const QString &folder) {
                        return OtherUser::run({"touch", folder});
                    }},
        RefusedCase{"ownFolderGroupCanWrite", false,
                    [](const QString &folder) { return makeFolder(folder, 0770); }},
        RefusedCase{"ownFolderOthersCanWrite", false,
                    [](const QString &folder) { return makeFolder(folder, 0777); }},
        RefusedCase{"runtimeFolderOthersCanWrite", false,
                    [](const QString &folder) { return makeFolder(folder, 0777); }, true},
        RefusedCase{"runtimeFolderOfAnotherUser", true,
                    [](const QString &folder) {
                        return OtherUser::run({"mkdir", "-m", "0700", folder});
                    },
                    true}),
    [](const auto &info) { return info.param.name; });

struct AcceptedCase
{
    const char *name;
    bool runtimeFolderSet;
    bool folderExists;
};

void PrintTo(const AcceptedCase &c, std::ostream *out)
{
    *out << c.name;
}

class AcceptedRuntimeFolder : public RuntimeFolderTest,
                              public ::testing::WithParamInterface<AcceptedCase>
{};

TEST_P(AcceptedRuntimeFolder, HoldsTheLockAndTheSocketOfTheRunningInstance)
{
    const AcceptedCase &c = GetParam();
    const QString folder =
        c.runtimeFolderSet ? shared(QStringLiteral("runtime")) : UrlEventSource::defaultFolder();
    if (c.runtimeFolderSet)
        qputenv(kRuntimeVariable, QFile::encodeName(folder));
    if (c.folderExists) {
        ASSERT_TRUE(makeFolder(folder, kPrivateMode));
    }

    UrlEventSource primary;
    primary.start({});
    ASSERT_EQ(primary.role(), Role::Primary);
    struct stat status = {};
    ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, kPrivateMode);
    EXPECT_EQ(status.st_uid, ::getuid());
    const QString base = QStringLiteral("%1/%2-%3")
                             .arg(folder, QLatin1String(UrlEventSource::kDefaultName))
                             .arg(::getuid());
    EXPECT_TRUE(QFileInfo::exists(base + QStringLiteral(".lock")));
    EXPECT_TRUE(QFileInfo::exists(base + QStringLiteral(".socket")));

    Recorder recorder;
    primary.setHandler(recorder.handler());
    UrlEventSource later;
    later.start({QStringLiteral("vandrix://?later")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return recorder.urls.size() == 1; }));
    recorder.replies.first()();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return later.role() == Role::Forwarded; }));
}

INSTANTIATE_TEST_SUITE_P(Folders, AcceptedRuntimeFolder,
                         ::testing::Values(AcceptedCase{"fallbackMadeWhenMissing", false, false},
                                           AcceptedCase{"fallbackOfOurOwn", false, true},
                                           AcceptedCase{"runtimeFolder", true, true}),
                         [](const auto &info) { return info.param.name; });

} // namespace
