// The monitor lock on a real temporary spool tree: who holds it, what the others learn of the
// holder, what another user's monitor can do with the file, whose file is refused, and that
// programs the holder starts do not keep it.

#include "monitor/MonitorLock.h"
#include "FileMode.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

class LockFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        spool = root.filePath("spool");
        ASSERT_TRUE(QDir().mkpath(spool));
        lockPath = QDir(spool).filePath("vqmmonitor.lock");
    }

    // Runs the script as another user, with the lock file as $1.
    bool asOtherUser(const QString &script) const
    {
        return OtherUser::runScript(script, {lockPath});
    }

    QTemporaryDir root;
    QString spool;
    QString lockPath;
};

} // namespace

TEST_F(LockFile, FirstTakesItTheOthersLearnItsPidAndTakeItWhenItGoes)
{
    auto first = std::make_unique<MonitorLock>(lockPath);
    ASSERT_EQ(first->tryLock().state, MonitorLock::State::Held);
    EXPECT_TRUE(first->isHeld());
    EXPECT_EQ(first->tryLock().state, MonitorLock::State::Held);

    MonitorLock second(lockPath);
    const MonitorLock::Attempt waiting = second.tryLock();
    EXPECT_EQ(waiting.state, MonitorLock::State::HeldByAnother);
    EXPECT_EQ(waiting.holderPid, qint64(::getpid()));
    EXPECT_FALSE(second.isHeld());

    first.reset();
    EXPECT_EQ(second.tryLock().state, MonitorLock::State::Held);
    // Only locked, never written.
    EXPECT_EQ(TestSupport::readFile(lockPath), QByteArray());
}

TEST_F(LockFile, HoldersPidComesFromTheKernelNotFromTheFile)
{
    // Anyone who could write into the file would name any pid there.
    ASSERT_TRUE(TestSupport::writeFile(lockPath, "4242\n"));
    QProcess holder;
    holder.start(QStringLiteral("flock"),
                 {QStringLiteral("--exclusive"), lockPath, QStringLiteral("sh"),
                  QStringLiteral("-c"), QStringLiteral("echo locked; exec sleep 60")});
    ASSERT_TRUE(holder.waitForReadyRead());
    MonitorLock waiting(lockPath);
    const MonitorLock::Attempt attempt = waiting.tryLock();
    EXPECT_EQ(attempt.state, MonitorLock::State::HeldByAnother);
    EXPECT_EQ(attempt.holderPid, holder.processId());
    holder.kill();
    holder.waitForFinished();
}

TEST_F(LockFile, AnotherUsersMonitorCanWaitOnItAndTakeItButNotWriteIt)
{
    ASSERT_TRUE(OtherUser::shareFolder(spool, root.path()));
    auto mine = std::make_unique<MonitorLock>(lockPath);
    ASSERT_EQ(mine->tryLock().state, MonitorLock::State::Held);
    EXPECT_EQ(fileModeOf(lockPath), unsigned(MonitorLock::kMode));

    // Opened for reading, as a monitor opens it: the lock is seen taken (status 3).
    EXPECT_TRUE(asOtherUser("exec 9<\"$1\" || exit 1; flock -n -E 3 9; [ $? -eq 3 ]"));
    EXPECT_FALSE(asOtherUser(": >> \"$1\""));
    mine.reset();
    EXPECT_TRUE(asOtherUser("exec 9<\"$1\" && flock -n 9"));
}

TEST_F(LockFile, FileOfAThirdUserIsRefusedAndTheInstallationsIsUsed)
{
    ASSERT_TRUE(OtherUser::shareFolder(spool, root.path()));
    const QString otherUid = QString::number(::getpwnam("nobody")->pw_uid);
    struct Case
    {
        const char *what;
        QString plant; // as the other user, with the lock file as $1; empty: root's file
        bool usable;
    };
    const QList<Case> cases = {
        {"his file nobody else may open", "umask 077; : > \"$1\"", false},
        {"his file every user may read", "umask 022; : > \"$1\"", false},
        {"root's, as the installation makes it", {}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.plant.isEmpty()) {
            ASSERT_TRUE(TestSupport::writeFile(lockPath, QByteArray()));
            ASSERT_EQ(::chmod(QFile::encodeName(lockPath).constData(), 0644), 0);
        } else {
            ASSERT_TRUE(asOtherUser(c.plant));
        }
        MonitorLock lock(lockPath);
        const MonitorLock::Attempt attempt = lock.tryLock();
        if (c.usable) {
            EXPECT_EQ(attempt.state, MonitorLock::State::Held);
        } else {
            EXPECT_EQ(attempt.state, MonitorLock::State::Unusable);
            EXPECT_TRUE(attempt.reason.contains("vqmmonitor.lock belongs to user " + otherUid))
                << attempt.reason.toStdString();
        }
        ASSERT_TRUE(QFile::remove(lockPath));
    }
}

TEST_F(LockFile, ProgramsTheHolderStartsDoNotKeepIt)
{
    // The client, which the monitor starts, often outlives it.
    auto monitor = std::make_unique<MonitorLock>(lockPath);
    ASSERT_EQ(monitor->tryLock().state, MonitorLock::State::Held);
    QProcess client;
    client.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(client.waitForStarted());
    monitor.reset();

    MonitorLock next(lockPath);
    EXPECT_EQ(next.tryLock().state, MonitorLock::State::Held);
    client.kill();
    client.waitForFinished();
}

TEST_F(LockFile, MissingFolderIsUnusableAndNothingIsMade)
{
    const QString missing = root.filePath("missing/vqmmonitor.lock");
    MonitorLock lock(missing);
    const MonitorLock::Attempt attempt = lock.tryLock();
    EXPECT_EQ(attempt.state, MonitorLock::State::Unusable);
    EXPECT_TRUE(attempt.reason.contains(root.filePath("missing"))) << attempt.reason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(root.filePath("missing")));
}
