// Start-up of the monitor on temporary folders: log-file names, the log purge in different local
// zones, the logging set-up and the whole start-up block up to the first hand-off.

#include "monitor/MonitorStartup.h"
#include "FileMode.h"
#include "foundation/logging/Log.h"
#include "foundation/logging/LogSetup.h"
#include "monitor/MonitorLogFileManager.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace std::chrono_literals;
using TestSupport::waitUntil;

namespace {

// Sets the process's local time zone for the lifetime of the object.
class LocalZone
{
public:
    explicit LocalZone(const char *posixZone)
    {
        if (const char *previous = std::getenv("TZ"))
            m_previous = previous;
        ::setenv("TZ", posixZone, 1);
        ::tzset();
    }
    ~LocalZone()
    {
        if (m_previous.isNull())
            ::unsetenv("TZ");
        else
            ::setenv("TZ", m_previous.constData(), 1);
        ::tzset();
    }

private:
    QByteArray m_previous;
};

QStringList logPurgeSurvivors(const char *posixZone)
{
    LocalZone zone(posixZone);
    QTemporaryDir folder;
    const QStringList names = {"Monitor_2024.03.01.log", "Monitor_2024.03.04.log",
                               "Monitor_2024.03.05.log", "notes.txt", "Monitor_garbage.log"};
    for (const QString &name : names)
        TestSupport::writeFile(folder.filePath(name), "x");
    MonitorStartup::deleteOutOfDateLog(folder.path(), 259200s,
                                       QDateTime(QDate(2024, 3, 7), QTime(12, 0), Qt::LocalTime));
    QStringList left = QDir(folder.path()).entryList(QDir::Files);
    left.sort();
    return left;
}

} // namespace

TEST(MonitorLogFiles, NamesCarryTheLocalDate)
{
    const MonitorLogFileManager naming(
        [] { return QDateTime(QDate(2024, 3, 5), QTime(10, 0), Qt::LocalTime); });
    EXPECT_EQ(naming.newLogFileName(), "Monitor_2024.03.05.log");
    EXPECT_EQ(naming.getTimestamp(), "2024.03.05");
    EXPECT_TRUE(naming.isLogFile("notes.txt"));
}

TEST(LogPurge, NameDatesBeforeLocalMidnightThreeDaysBackAreDeleted)
{
    // The cut-off is 4 March, local midnight; a name's day counts from midnight at +08:00.
    const QStringList westOfEight = {"Monitor_2024.03.05.log", "Monitor_garbage.log", "notes.txt"};
    const QStringList eastOfEight = {"Monitor_2024.03.04.log", "Monitor_2024.03.05.log",
                                     "Monitor_garbage.log", "notes.txt"};
    EXPECT_EQ(logPurgeSurvivors("UTC0"), westOfEight);
    EXPECT_EQ(logPurgeSurvivors("CST-8"), eastOfEight);
    EXPECT_EQ(logPurgeSurvivors("JST-9"), eastOfEight);
}

TEST(LogPurge, MissingFolderIsNoError)
{
    // Nothing is made and nothing beside the missing folder is touched, out-of-date log or not.
    QTemporaryDir parent;
    const QString logBeside = parent.filePath("Monitor_2024.03.01.log");
    ASSERT_TRUE(TestSupport::writeFile(logBeside, "x"));
    const QString missing = parent.filePath("mlog");
    MonitorStartup::deleteOutOfDateLog(missing, 259200s,
                                       QDateTime(QDate(2024, 3, 7), QTime(12, 0), Qt::LocalTime));
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"Monitor_2024.03.01.log"});
}

namespace {

class Startup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        options.spoolFolder = root.filePath("pdf_out");
        options.logFolder = root.filePath("mlog");
        options.lockFile = root.filePath("vqmmonitor.lock");
        options.copyFolder = root.filePath("copies");
        options.timing = {20ms, 300ms};
        options.syslogIdent = QString();
    }

    void TearDown() override
    {
        startup.reset();
        LogSetup::shutdown();
    }

    void run()
    {
        startup = std::make_unique<MonitorStartup>(
            options,
            [this](const CheckedFolder &, const CheckedFolder &) {
                return [this](const QString &jobId) {
                    QFile::remove(QDir(options.spoolFolder).filePath(jobId + ".pdf"));
                    QMutexLocker lock(&mutex);
                    handedOff.append(jobId);
                };
            },
            [this](int status) { exitStatus = status; }, QThread::currentThread());
        startup->run();
    }

    QStringList handed()
    {
        QMutexLocker lock(&mutex);
        return handedOff;
    }

    QString logText()
    {
        Log::flush();
        QString text;
        for (const QString &name : QDir(options.logFolder).entryList(QDir::Files))
            text +=
                QString::fromUtf8(TestSupport::readFile(QDir(options.logFolder).filePath(name)));
        return text;
    }

    QTemporaryDir root;
    MonitorStartup::Options options;
    std::unique_ptr<MonitorStartup> startup;
    QMutex mutex;
    QStringList handedOff;
    int exitStatus = -1;
};

const QByteArray kCompletePdf = "%PDF-1.4\ntrailer\n<< >>\n%%EOF\n";

} // namespace

TEST_F(Startup, StartsWatchingAndLogsToTheLogFolder)
{
    ASSERT_TRUE(QDir().mkpath(options.spoolFolder));
    ASSERT_TRUE(TestSupport::writeFile(QDir(options.spoolFolder).filePath("1.pdf"), kCompletePdf));
    run();
    EXPECT_EQ(fileModeOf(options.logFolder), 0777u);
    ASSERT_TRUE(waitUntil([&] { return logText().contains("version is 2.4.20"); }));

    ASSERT_TRUE(TestSupport::writeFile(QDir(options.spoolFolder).filePath("2.pdf"), kCompletePdf));
    ASSERT_TRUE(waitUntil([&] { return handed().contains("2"); }));
    TestSupport::spin(100ms);
    EXPECT_EQ(handed(), QStringList({"2"}));
    EXPECT_EQ(exitStatus, -1);

    const QStringList files = QDir(options.logFolder).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(QRegularExpression("^Monitor_\\d{4}\\.\\d{2}\\.\\d{2}\\.log$")
                    .match(files.first())
                    .hasMatch());
    EXPECT_TRUE(
        QRegularExpression(
            "(^|\\n)\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}:\\d{3}  monitor new job id : 2\\n")
            .match(logText())
            .hasMatch())
        << logText().toStdString();
}

TEST_F(Startup, MissingSpoolFolderEndsWithStatusOne)
{
    run();
    ASSERT_TRUE(waitUntil([&] { return exitStatus != -1; }));
    EXPECT_EQ(exitStatus, 1);
    EXPECT_TRUE(QFileInfo(options.logFolder).isDir());
}
