#include "foundation/logging/RollingFileSink.h"
#include "foundation/logging/DefaultLogFileNamingPolicy.h"

#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <spdlog/logger.h>

#include <gtest/gtest.h>

#include <atomic>

#include <sys/stat.h>

namespace {

// Names every file after one day, as a per-day policy does; every entry counts as a log file.
class DayNamingPolicy : public LogFileNamingPolicy
{
public:
    QString newLogFileName() const override { return QStringLiteral("Monitor_2024.03.05.log"); }
    bool isLogFile(const QString &) const override { return true; }
};

// Numbers its files in creation order, so the survivors of a purge can be told apart.
class NumberedNamingPolicy : public LogFileNamingPolicy
{
public:
    QString newLogFileName() const override
    {
        return QStringLiteral("app %1.log").arg(++m_next, 3, 10, QLatin1Char('0'));
    }
    bool isLogFile(const QString &fileName) const override
    {
        return fileName.startsWith("app ") && fileName.endsWith(".log");
    }

private:
    mutable std::atomic<int> m_next{0};
};

class RollingFileSinkTest : public testing::Test
{
protected:
    void open(std::shared_ptr<const LogFileNamingPolicy> naming, RollingFileLimits limits,
              const QString &folder = QString())
    {
        m_sink =
            std::make_shared<RollingFileSink>(folder.isNull() ? m_dir.path() : folder,
                                              std::move(naming), limits, [this] { return m_now; });
        m_sink->set_pattern("%v");
        m_logger = std::make_shared<spdlog::logger>("test", m_sink);
        m_logger->set_level(spdlog::level::trace);
    }

    void log(const QString &text) { m_logger->info(text.toStdString()); }

    QStringList files() const { return QDir(m_dir.path()).entryList(QDir::Files, QDir::Name); }

    QByteArray content(const QString &name) const
    {
        return TestSupport::readFile(m_dir.filePath(name));
    }

    QTemporaryDir m_dir;
    QDateTime m_now = QDateTime(QDate(2024, 3, 5), QTime(10, 0));
    std::shared_ptr<RollingFileSink> m_sink;
    std::shared_ptr<spdlog::logger> m_logger;
};

TEST_F(RollingFileSinkTest, RollsBeforeAnEntryWouldPassTheSizeLimit)
{
    RollingFileLimits limits;
    limits.maximumFileSize = 100;
    open(std::make_shared<NumberedNamingPolicy>(), limits);
    QByteArray all;
    for (int i = 0; i < 10; ++i) {
        const QString entry =
            QStringLiteral("entry %1 ").arg(i) + QString(20, u'x'); // 29 bytes with the line feed
        log(entry);
        all += entry.toUtf8() + '\n';
    }
    const QStringList names = files();
    EXPECT_EQ(names, QStringList({"app 001.log", "app 002.log", "app 003.log", "app 004.log"}));
    QByteArray joined;
    for (const QString &name : names) {
        EXPECT_LE(content(name).size(), 100) << name.toStdString();
        joined += content(name);
    }
    EXPECT_EQ(joined, all);
}

TEST_F(RollingFileSinkTest, RollsByAgeOfTheFile)
{
    open(std::make_shared<NumberedNamingPolicy>(), RollingFileLimits{});
    log("first");
    m_now = m_now.addSecs(86399);
    log("second");
    m_now = m_now.addSecs(1);
    log("third");
    EXPECT_EQ(files(), QStringList({"app 001.log", "app 002.log"}));
    EXPECT_EQ(content("app 001.log"), "first\nsecond\n");
    EXPECT_EQ(content("app 002.log"), "third\n");
}

TEST_F(RollingFileSinkTest, SecondFileOfTheSameNameGetsANumber)
{
    RollingFileLimits limits;
    limits.maximumFileSize = 6;
    open(std::make_shared<DayNamingPolicy>(), limits);
    for (const char *entry : {"one two", "three", "four", "five"})
        log(QLatin1String(entry));
    EXPECT_EQ(files(), QStringList({"Monitor_2024.03.05 1.log", "Monitor_2024.03.05 2.log",
                                    "Monitor_2024.03.05 3.log", "Monitor_2024.03.05.log"}));
    EXPECT_EQ(content("Monitor_2024.03.05.log"), "one two\n");
    EXPECT_EQ(content("Monitor_2024.03.05 3.log"), "five\n");
}

TEST_F(RollingFileSinkTest, KeepsSevenLogFilesAndLeavesForeignFilesAlone)
{
    ASSERT_TRUE(TestSupport::writeFile(m_dir.filePath("notes.txt"), "keep me"));
    open(std::make_shared<NumberedNamingPolicy>(), RollingFileLimits{});
    for (int i = 1; i <= 10; ++i) {
        log(QStringLiteral("day %1").arg(i));
        m_now = m_now.addDays(1);
    }
    EXPECT_EQ(files(), QStringList({"app 004.log", "app 005.log", "app 006.log", "app 007.log",
                                    "app 008.log", "app 009.log", "app 010.log", "notes.txt"}));
    EXPECT_EQ(content("app 010.log"), "day 10\n");
}

TEST_F(RollingFileSinkTest, PolicyThatCountsEveryFileDeletesTheOldestForeignOneToo)
{
    ASSERT_TRUE(TestSupport::writeFile(m_dir.filePath("notes.txt"), "old"));
    QDir().mkpath(m_dir.filePath("sub")); // folders are never deleted
    RollingFileLimits limits;
    limits.maximumFileSize = 8;
    open(std::make_shared<DayNamingPolicy>(), limits);
    for (int i = 1; i <= 7; ++i)
        log(QStringLiteral("entry %1").arg(i));
    const QStringList names = files();
    EXPECT_EQ(names.size(), 7);
    EXPECT_FALSE(names.contains("notes.txt"));
    EXPECT_TRUE(QFileInfo(m_dir.filePath("sub")).isDir());
    EXPECT_EQ(content("Monitor_2024.03.05 6.log"), "entry 7\n");
}

// Nine log files and an older foreign file from earlier runs; the first entry of a new run
// continues the newest log file, and already then at most seven files count.
struct RestartCase
{
    const char *name;
    std::shared_ptr<const LogFileNamingPolicy> (*naming)();
    const char *logName; // with %1 for 1 to 9, so that name order is creation order
    bool foreignFileCounts;
};

void PrintTo(const RestartCase &c, std::ostream *out)
{
    *out << c.name;
}

class RestartWithTooManyFiles : public RollingFileSinkTest,
                                public testing::WithParamInterface<RestartCase>
{};

TEST_P(RestartWithTooManyFiles, LeavesTheSevenNewest)
{
    const RestartCase &c = GetParam();
    // Real time: the continued file's age comes from the file system. Files made within one tick
    // of its clock are ordered by name, and name order here is the order of creation.
    m_now = QDateTime::currentDateTime();
    const QString foreign = QStringLiteral("Archive.txt");
    ASSERT_TRUE(TestSupport::writeFile(m_dir.filePath(foreign), "kept notes"));
    QStringList logs;
    for (int day = 1; day <= 9; ++day) {
        logs << QString::fromLatin1(c.logName).arg(day);
        ASSERT_TRUE(TestSupport::writeFile(m_dir.filePath(logs.last()), "old\n"));
    }

    open(c.naming(), RollingFileLimits{});
    log("after restart");

    QStringList expected = logs.mid(2);
    if (!c.foreignFileCounts)
        expected.prepend(foreign);
    EXPECT_EQ(files(), expected);
    EXPECT_EQ(content(logs.last()), "old\nafter restart\n");
}

INSTANTIATE_TEST_SUITE_P(
    Policies, RestartWithTooManyFiles,
    testing::Values(RestartCase{"client",
                                [] {
                                    return std::shared_ptr<const LogFileNamingPolicy>(
                                        std::make_shared<DefaultLogFileNamingPolicy>("Tarvello"));
                                },
                                "Tarvello 2024-03-0%1--08-00-00-000.log", false},
                    RestartCase{"everyFileCounts",
                                [] {
                                    return std::shared_ptr<const LogFileNamingPolicy>(
                                        std::make_shared<DayNamingPolicy>());
                                },
                                "Monitor_2024.03.0%1.log", true}),
    [](const auto &info) { return info.param.name; });

TEST_F(RollingFileSinkTest, QuotaCapsTheTotalSize)
{
    ASSERT_TRUE(TestSupport::writeFile(m_dir.filePath("app 000.log"), QByteArray(300, 'o')));
    RollingFileLimits limits;
    limits.maximumFileSize = 100;
    limits.logFilesDiskQuota = 250;
    open(std::make_shared<NumberedNamingPolicy>(), limits);
    for (int i = 0; i < 12; ++i)
        log(QString(49, QChar(u'a' + i))); // 50 bytes each, two per file
    qint64 total = 0;
    for (const QString &name : files())
        total += content(name).size();
    EXPECT_LE(total, 250);
    EXPECT_FALSE(files().contains("app 000.log"));
    EXPECT_TRUE(content(files().last()).endsWith(QByteArray(49, 'a' + 11) + '\n'));
}

TEST_F(RollingFileSinkTest, ContinuesTheNewestFileAfterARestart)
{
    // Real time here: the continued file's age comes from the file system.
    m_now = QDateTime::currentDateTime();
    open(std::make_shared<NumberedNamingPolicy>(), RollingFileLimits{});
    log("before restart");
    m_logger.reset();
    m_sink.reset();

    open(std::make_shared<NumberedNamingPolicy>(), RollingFileLimits{});
    log("after restart");
    EXPECT_EQ(files(), QStringList({"app 001.log"}));
    EXPECT_EQ(content("app 001.log"), "before restart\nafter restart\n");

    // A file that is already too old is left as it is.
    m_logger.reset();
    m_sink.reset();
    m_now = m_now.addDays(2);
    open(std::make_shared<DefaultLogFileNamingPolicy>("app", [this] { return m_now; }),
         RollingFileLimits{});
    log("days later");
    EXPECT_EQ(files().size(), 2);
    EXPECT_EQ(content("app 001.log"), "before restart\nafter restart\n");
}

TEST_F(RollingFileSinkTest, CreatesAMissingFolder)
{
    const QString folder = m_dir.filePath("spool/alog");
    open(std::make_shared<NumberedNamingPolicy>(), RollingFileLimits{}, folder);
    log("hello");
    EXPECT_EQ(TestSupport::readFile(folder + "/app 001.log"), "hello\n");
    EXPECT_EQ(m_sink->currentFilePath(), folder + "/app 001.log");
}

TEST_F(RollingFileSinkTest, FolderThatCannotBeMadeIsReportedOnceAndLoggingGoesOn)
{
    ASSERT_TRUE(TestSupport::writeFile(m_dir.filePath("plain"), "a file, not a folder"));
    open(std::make_shared<NumberedNamingPolicy>(), RollingFileLimits{},
         m_dir.filePath("plain/log"));
    testing::internal::CaptureStderr();
    log("one");
    log("two");
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find("could not create the log folder"), std::string::npos) << reported;
    EXPECT_EQ(reported.find("could not create", reported.find('\n')), std::string::npos)
        << reported;
    EXPECT_TRUE(m_sink->currentFilePath().isNull());
}

TEST_F(RollingFileSinkTest, LinkPlantedAtTheNameIsTakenNeverFollowed)
{
    const QString folder = m_dir.filePath("mlog");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(OtherUser::shareFolder(folder, m_dir.path()));
    const QString secret = m_dir.filePath("secret");
    struct Case
    {
        const char *name;
        QString target;
    };
    const QList<Case> cases = {
        {"link to a file outside", secret},
        {"dangling link", m_dir.filePath("planted")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(TestSupport::writeFile(secret, "precious"));
        ASSERT_EQ(::chmod(QFile::encodeName(secret).constData(), 0600), 0);
        const QString link = folder + "/Monitor_2024.03.05.log";
        ASSERT_TRUE(OtherUser::plantLink(c.target, link));

        open(std::make_shared<DayNamingPolicy>(), RollingFileLimits{}, folder);
        log("entry");
        m_logger.reset();
        m_sink.reset();

        EXPECT_EQ(TestSupport::readFile(secret), "precious");
        struct stat status = {};
        ASSERT_EQ(::stat(QFile::encodeName(secret).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0600u);
        EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("planted")));
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(TestSupport::readFile(folder + "/Monitor_2024.03.05 1.log"), "entry\n");
        ASSERT_TRUE(QFile::remove(link));
        ASSERT_TRUE(QFile::remove(folder + "/Monitor_2024.03.05 1.log"));
    }
}

TEST_F(RollingFileSinkTest, LogFolderThatIsALinkIsNotUsed)
{
    const QString elsewhere = m_dir.filePath("elsewhere");
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(OtherUser::shareFolder(m_dir.path(), m_dir.path()));
    ASSERT_TRUE(OtherUser::plantLink(elsewhere, m_dir.filePath("mlog")));
    open(std::make_shared<DayNamingPolicy>(), RollingFileLimits{}, m_dir.filePath("mlog"));
    testing::internal::CaptureStderr();
    log("entry");
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find("could not use the log folder"), std::string::npos) << reported;
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    EXPECT_TRUE(m_sink->currentFilePath().isNull());
}

TEST_F(RollingFileSinkTest, LogFolderOfAnotherUserIsNeitherWrittenNorCleaned)
{
    // Made by another user at the log folder's name, with more files than the sink keeps.
    ASSERT_TRUE(OtherUser::shareFolder(m_dir.path(), m_dir.path()));
    const QString theirs = m_dir.filePath("mlog");
    ASSERT_TRUE(OtherUser::runScript("mkdir -m 777 \"$1\" && cd \"$1\" && "
                                     "touch a.log b.log c.log d.log e.log f.log g.log h.log",
                                     {theirs}));
    const QStringList before = QDir(theirs).entryList(QDir::Files, QDir::Name);
    open(std::make_shared<DayNamingPolicy>(), RollingFileLimits{}, theirs);
    testing::internal::CaptureStderr();
    log("entry");
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find("to this user"), std::string::npos) << reported;
    EXPECT_EQ(QDir(theirs).entryList(QDir::Files, QDir::Name), before);
    EXPECT_TRUE(m_sink->currentFilePath().isNull());
}

TEST(DefaultLogFileNamingPolicy, NamesFilesByCreationTime)
{
    const QDateTime created(QDate(2024, 3, 5), QTime(9, 7, 5, 42));
    const DefaultLogFileNamingPolicy naming("com.dalvemor.vqm.client", [&] { return created; });
    EXPECT_EQ(naming.newLogFileName(), "com.dalvemor.vqm.client 2024-03-05--09-07-05-042.log");
}

TEST(DefaultLogFileNamingPolicy, CountsOnlyItsOwnNames)
{
    const DefaultLogFileNamingPolicy naming("Tarvello");
    EXPECT_TRUE(naming.isLogFile(naming.newLogFileName()));
    EXPECT_TRUE(naming.isLogFile("Tarvello 2024-03-05--09-07-05-042 1.log"));
    for (const char *name :
         {"Tarvello.log", "Tarvello2024.log", "Other 2024.log", "Tarvello 2024.txt", "notes.txt"})
        EXPECT_FALSE(naming.isLogFile(QLatin1String(name))) << name;
}

} // namespace
