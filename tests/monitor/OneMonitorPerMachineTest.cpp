// Monitors as separate processes on one spool tree (monitor_instance, which is vqmmonitor with the
// tree's place and a recording hand-off): only the one holding the lock takes jobs, another waits
// and takes over when it ends, and a lock file planted by another user is never used.

#include "FileMode.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using TestSupport::waitUntil;

namespace {

const QByteArray kCompletePdf = "%PDF-1.4\n1 0 obj\n<< >>\nendobj\ntrailer\n<< >>\n%%EOF\n";
constexpr auto kReady = "version is 2.4.20";
constexpr int kProcessLimitMs = 10000;
// Long enough for a waiting monitor to try the lock again a few times.
constexpr std::chrono::milliseconds kSeveralAttempts = 1200ms;

// One monitor process with its standard output and error collected.
class MonitorInstance
{
public:
    MonitorInstance(const QString &spoolRoot, const QString &record)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral(MONITOR_INSTANCE), {spoolRoot, record});
        m_process.waitForStarted(kProcessLimitMs);
        m_pid = m_process.processId();
    }
    ~MonitorInstance() { stop(); }

    // Kept once it has ended, for what it left behind.
    qint64 pid() const { return m_pid; }

    // Whether it has written the text, waiting a bounded time for it.
    bool said(const QString &text)
    {
        return waitUntil([&] { return output().contains(text); });
    }
    QString output()
    {
        m_output += QString::fromUtf8(m_process.readAll());
        return m_output;
    }

    // Stops it as a service manager does (SIGTERM); true when that ended it.
    bool stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return true;
        m_process.terminate();
        if (m_process.waitForFinished(kProcessLimitMs))
            return true;
        m_process.kill();
        m_process.waitForFinished(kProcessLimitMs);
        return false;
    }

private:
    QProcess m_process;
    qint64 m_pid = 0;
    QString m_output;
};

class Monitors : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        spoolRoot = root.filePath("spool");
        ASSERT_TRUE(QDir().mkpath(spool()));
        record = root.filePath("handoffs");
    }

    QString spool() const { return QDir(spoolRoot).filePath("pdf_out"); }
    QString lockPath() const { return QDir(spoolRoot).filePath("vqmmonitor.lock"); }

    std::unique_ptr<MonitorInstance> start()
    {
        return std::make_unique<MonitorInstance>(spoolRoot, record);
    }

    // Leaves a complete job PDF in the spool folder at once, as the backend does.
    void print(const QString &jobId)
    {
        const QString written = root.filePath(jobId + ".pdf");
        ASSERT_TRUE(TestSupport::writeFile(written, kCompletePdf));
        ASSERT_TRUE(QFile::rename(written, QDir(spool()).filePath(jobId + ".pdf")));
    }

    // "<pid> <job id>" for every hand-off, in order.
    QStringList handOffs() const
    {
        return QString::fromUtf8(TestSupport::readFile(record)).split('\n', Qt::SkipEmptyParts);
    }
    bool handedOff(int count)
    {
        return waitUntil([&] { return handOffs().size() >= count; });
    }

    static QString handOff(const MonitorInstance &monitor, const QString &jobId)
    {
        return QStringLiteral("%1 %2").arg(monitor.pid()).arg(jobId);
    }

    QTemporaryDir root;
    QString spoolRoot;
    QString record;
};

} // namespace

TEST_F(Monitors, OnlyTheHolderTakesJobsAndTheOtherTakesOverWhenItEnds)
{
    const std::unique_ptr<MonitorInstance> first = start();
    ASSERT_TRUE(first->said(kReady)) << first->output().toStdString();
    const std::unique_ptr<MonitorInstance> second = start();
    ASSERT_TRUE(second->said(QStringLiteral("Another vqmmonitor (pid %1) is watching %2; this "
                                            "vqmmonitor (pid %3) takes no jobs")
                                 .arg(first->pid())
                                 .arg(spool())
                                 .arg(second->pid())))
        << second->output().toStdString();

    constexpr int kPrints = 20;
    QStringList expected;
    for (int i = 0; i < kPrints; ++i) {
        const QString jobId = QString::number(100 + i);
        print(jobId);
        expected << handOff(*first, jobId);
    }
    ASSERT_TRUE(handedOff(kPrints));

    ASSERT_TRUE(first->stop());
    ASSERT_TRUE(second->said(kReady)) << second->output().toStdString();
    EXPECT_TRUE(second->output().contains(QStringLiteral("(pid %1) holds %2 now and takes the jobs")
                                              .arg(second->pid())
                                              .arg(lockPath())));
    print("200");
    ASSERT_TRUE(handedOff(kPrints + 1));
    ASSERT_TRUE(second->stop());

    // Both have ended: the record is final.
    QStringList handed = handOffs();
    ASSERT_EQ(handed.size(), kPrints + 1) << handed.join('\n').toStdString();
    EXPECT_EQ(handed.takeLast(), handOff(*second, "200"));
    std::sort(handed.begin(), handed.end());
    EXPECT_EQ(handed, expected);
}

TEST_F(Monitors, WaitingMonitorStoppedJustEnds)
{
    const std::unique_ptr<MonitorInstance> holder = start();
    ASSERT_TRUE(holder->said(kReady));
    const std::unique_ptr<MonitorInstance> waiting = start();
    ASSERT_TRUE(waiting->said("is watching"));
    EXPECT_TRUE(waiting->stop());
    EXPECT_FALSE(waiting->output().contains(kReady)) << waiting->output().toStdString();

    print("7");
    ASSERT_TRUE(handedOff(1));
    EXPECT_EQ(handOffs(), QStringList{handOff(*holder, "7")});
}

TEST_F(Monitors, PlantedLockFileIsNeverUsedAndTheMonitorTakesOverOnceItIsGone)
{
    const QString outside = root.filePath("outside");
    const QString secret = QDir(outside).filePath("secret");
    ASSERT_TRUE(QDir().mkpath(outside));
    ASSERT_TRUE(TestSupport::writeFile(secret, "precious"));
    ASSERT_EQ(::chmod(QFile::encodeName(secret).constData(), 0600), 0);
    const QString missing = QDir(outside).filePath("missing");
    ASSERT_TRUE(OtherUser::shareFolder(spoolRoot, root.path()));
    const QString mlog = QDir(spoolRoot).filePath("mlog");

    struct Case
    {
        const char *what;
        std::function<bool(const QString &lock)> plant;
        const char *reason;
    };
    const QList<Case> cases = {
        {"a link to a file outside the tree",
         [&](const QString &lock) { return OtherUser::plantLink(secret, lock); },
         "vqmmonitor.lock is a symbolic link, which is never followed"},
        {"a dangling link",
         [&](const QString &lock) { return OtherUser::plantLink(missing, lock); },
         "vqmmonitor.lock is a symbolic link, which is never followed"},
        {"a FIFO",
         [](const QString &lock) {
             return OtherUser::run({"mkfifo", lock});
         },
         "vqmmonitor.lock is not a regular file"},
        {"a folder",
         [](const QString &lock) {
             return OtherUser::run({"mkdir", lock});
         },
         "vqmmonitor.lock is not a regular file"},
        // Made before the installation could make it: nobody else may even open it.
        {"another user's file",
         [](const QString &lock) { return OtherUser::runScript("umask 077; : > \"$1\"", {lock}); },
         "vqmmonitor.lock belongs to user"},
        // Where the system lets users link others' files (fs.protected_hardlinks off).
        {"a hard link to a file outside the tree",
         [&](const QString &lock) {
             return ::link(QFile::encodeName(secret).constData(),
                           QFile::encodeName(lock).constData()) == 0;
         },
         "vqmmonitor.lock has other names (hard links)"},
    };
    for (const Case &planted : cases) {
        SCOPED_TRACE(planted.what);
        ASSERT_TRUE(planted.plant(lockPath()));
        const std::unique_ptr<MonitorInstance> monitor = start();
        ASSERT_TRUE(monitor->said(QStringLiteral("The monitor lock file %1 cannot be used (%2")
                                      .arg(lockPath(), planted.reason)))
            << monitor->output().toStdString();
        EXPECT_TRUE(monitor->output().contains("takes no jobs and tries again every 500 ms"));
        // Said once, not at every attempt.
        TestSupport::spin(kSeveralAttempts);
        EXPECT_EQ(monitor->output().count("cannot be used"), 1);
        print("1");
        // Nothing of the spool tree is touched before the lock is held.
        EXPECT_FALSE(QFileInfo::exists(mlog)) << "the log folder was made while waiting";

        // Removed: it is tried again, and the monitor starts as any monitor starts.
        ASSERT_EQ(::remove(QFile::encodeName(lockPath()).constData()), 0);
        ASSERT_TRUE(monitor->said(kReady)) << monitor->output().toStdString();
        print("2");
        ASSERT_TRUE(handedOff(1));
        ASSERT_TRUE(monitor->stop());

        // The PDF that came while it waited was present at its start: seen, never handed off.
        EXPECT_EQ(handOffs(), QStringList{handOff(*monitor, "2")});
        EXPECT_TRUE(QFile::exists(QDir(spool()).filePath("1.pdf")));
        EXPECT_EQ(TestSupport::readFile(secret), "precious");
        EXPECT_EQ(fileModeOf(secret), 0600u);
        EXPECT_FALSE(QFileInfo::exists(missing));

        ASSERT_TRUE(QFile::remove(record));
        ASSERT_TRUE(QFile::remove(QDir(spool()).filePath("1.pdf")));
        ASSERT_TRUE(QFile::remove(lockPath()));
        ASSERT_TRUE(QDir(mlog).removeRecursively());
    }
}
