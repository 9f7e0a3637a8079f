// The monitor lock on a real temporary spool tree: who holds it, what the others learn of the
// holder, what another user's monitor can do with the file, and that programs the holder starts do
// not keep it.

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

const QByteArray ownPidLine = QByteArray::number(qint64(::getpid())) + '\n';

} // namespace

TEST_F(LockFile, FirstTakesItTheOthersLearnItsPidAndTakeItWhenItGoes)
{
    // What an earlier holder wrote is replaced whole.
    ASSERT_TRUE(TestSupport::writeFile(lockPath, "4194303999\n"));
    auto first = std::make_unique<MonitorLock>(lockPath);
    ASSERT_EQ(first->tryLock().state, MonitorLock::State::Held);
    EXPECT_TRUE(first->isHeld());
    EXPECT_EQ(TestSupport::readFile(lockPath), ownPidLine);
    EXPECT_EQ(first->tryLock().state, MonitorLock::State::Held);

    MonitorLock second(lockPath);
    const MonitorLock::Attempt waiting = second.tryLock();
    EXPECT_EQ(waiting.state, MonitorLock::State::HeldByAnother);
    EXPECT_EQ(waiting.holderPid, qint64(::getpid()));
    EXPECT_FALSE(second.isHeld());

    first.reset();
    EXPECT_EQ(second.tryLock().state, MonitorLock::State::Held);
    EXPECT_EQ(TestSupport::readFile(lockPath), ownPidLine);
}

TEST_F(LockFile, WhatTheHolderWroteIsReadAsAPidOnlyWhenItIsOne)
{
    // Anyone may write into the file: its text is taken only when it is a plain positive number.
    const QList<std::pair<QByteArray, qint64>> cases = {
        {"4242\n", 4242}, {" 77 \n", 77}, {"", 0},     {"monitor\n", 0},
        {"-5\n", 0},      {"0\n", 0},     {"12ab", 0}, {QByteArray(64, '9'), 0},
    };
    for (const auto &[text, pid] : cases) {
        ASSERT_TRUE(TestSupport::writeFile(lockPath, text));
        // A holder that writes nothing of its own.
        const int holder = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
        MonitorLock waiting(lockPath);
        const MonitorLock::Attempt attempt = waiting.tryLock();
        ::close(holder);
        EXPECT_EQ(attempt.state, MonitorLock::State::HeldByAnother) << text.toStdString();
        EXPECT_EQ(attempt.holderPid, pid) << text.toStdString();
    }
}

TEST_F(LockFile, AnotherUsersMonitorCanWaitOnItAndTakeIt)
{
    ASSERT_TRUE(OtherUser::shareFolder(spool, root.path()));
    auto mine = std::make_unique<MonitorLock>(lockPath);
    ASSERT_EQ(mine->tryLock().state, MonitorLock::State::Held);
    EXPECT_EQ(fileModeOf(lockPath), unsigned(MonitorLock::kMode));

    // Opened for reading and writing, as a monitor opens it: the lock is seen taken (status 3).
    EXPECT_TRUE(asOtherUser("exec 9<>\"$1\" || exit 1; flock -n -E 3 9; [ $? -eq 3 ]"));
    mine.reset();
    EXPECT_TRUE(asOtherUser("exec 9<>\"$1\" && flock -n 9"));
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
