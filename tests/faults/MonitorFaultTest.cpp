// The running monitor (spool watcher, completeness wait and hand-off on real files and a real job
// table) when what it depends on fails: the job database locked by another writer during the
// hand-off, a spool PDF deleted or swapped for a FIFO between its completeness check and the copy.
// The monitor goes on with the next job each time, keeps or drops the job exactly as the hand-off's
// rules say, opens no URL for a job it could not hand off, and logs what happened.

#include "OpenedFolder.h"
#include "PdfFixture.h"
#include "RecordingRegistry.h"
#include "support/LogCapture.h"

#include "monitor/HandlerService.h"
#include "monitor/MonitorFileManager.h"
#include "monitor/db/BusyDatabaseWait.h"
#include "monitor/db/DBBusiness.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr CompletenessWait::Timing kQuickTiming{50ms, 5000ms};
constexpr std::chrono::milliseconds kHandOffLimit = 15s;
constexpr auto kPython = "/usr/bin/python3";
// Holds an exclusive lock on the database for the given seconds, as another writer does.
constexpr auto kLockingWriter = "import sqlite3, sys, time\n"
                                "db = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                "db.execute('BEGIN EXCLUSIVE')\n"
                                "print('locked', flush=True)\n"
                                "time.sleep(float(sys.argv[2]))\n"
                                "db.execute('COMMIT')\n";

class MonitorFaultTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_spool = m_root.filePath("pdf_out");
        m_copies = m_root.filePath("copies");
        ASSERT_TRUE(QDir().mkpath(m_spool));
        ASSERT_TRUE(QDir().mkpath(m_root.filePath("db")));
        m_database = std::make_unique<DataBaseHelper>(m_root.filePath("db"));
        ASSERT_TRUE(DBBusiness::initWithTable(*m_database));
        m_spoolFolder = OpenedFolder::open(m_spool);
        m_copyFolder = OpenedFolder::open(m_copies);
        ASSERT_TRUE(m_spoolFolder && m_copyFolder);
        m_handler = std::make_unique<HandlerService>(*m_spoolFolder, *m_copyFolder, m_registry,
                                                     m_database.get());
        m_watcher = std::make_unique<MonitorFileManager>(
            *m_spoolFolder, kQuickTiming,
            [this](const QString &jobId) {
                if (m_beforeHandOff)
                    m_beforeHandOff(jobId);
                m_handler->senderMessageWithJobId(jobId);
                ++m_handOffsEnded;
            },
            [this](int status) { m_exits << status; });
        m_watcher->monitorFile();
    }

    void TearDown() override
    {
        m_watcher.reset();
        if (m_locker.state() != QProcess::NotRunning) {
            m_locker.kill();
            m_locker.waitForFinished();
        }
    }

    void insertRow(qint64 jobId)
    {
        DBJob row;
        row.job_id = jobId;
        row.fileName = QStringLiteral("5paH5qGjLnBkZg==");
        row.copies = QStringLiteral("2");
        row.paperSize = QStringLiteral("9");
        row.pageType = QStringLiteral("A4");
        ASSERT_TRUE(DBBusiness::updateJobs({row}, *m_database));
    }

    // The print backend's work: the row, then the PDF (written elsewhere and moved in whole).
    void print(qint64 jobId, bool withRow = true)
    {
        if (withRow) {
            ASSERT_NO_FATAL_FAILURE(insertRow(jobId));
        }
        const QString written = m_root.filePath(QStringLiteral("%1.pdf").arg(jobId));
        PdfFixture::write(written, 3);
        ASSERT_TRUE(QFile::rename(written, spoolPdf(jobId)));
    }

    void lockDatabase(std::chrono::milliseconds hold)
    {
        m_locker.start(QLatin1String(kPython),
                       {QStringLiteral("-c"), QLatin1String(kLockingWriter), m_database->dbPath(),
                        QString::number(double(hold.count()) / 1000.0)});
        ASSERT_TRUE(m_locker.waitForReadyRead(10000));
        ASSERT_EQ(m_locker.readLine().trimmed(), "locked");
    }

    bool waitForHandOffs(int count)
    {
        return TestSupport::waitUntil([&] { return m_handOffsEnded >= count; }, kHandOffLimit);
    }

    QString spoolPdf(qint64 jobId) const
    {
        return QDir(m_spool).filePath(QStringLiteral("%1.pdf").arg(jobId));
    }
    QStringList copies() const { return QDir(m_copies).entryList(QDir::Files); }
    bool openedJob(qint64 jobId) const
    {
        const QString marker = QStringLiteral("%22jobId%22%3A%22%1%22").arg(jobId);
        const QStringList urls = m_registry.opened();
        return std::any_of(urls.cbegin(), urls.cend(),
                           [&](const QString &url) { return url.contains(marker); });
    }

    QTemporaryDir m_root;
    QString m_spool;
    QString m_copies;
    LogCapture m_log;
    RecordingRegistry m_registry;
    std::unique_ptr<CheckedFolder> m_spoolFolder;
    std::unique_ptr<CheckedFolder> m_copyFolder;
    std::unique_ptr<DataBaseHelper> m_database;
    std::unique_ptr<HandlerService> m_handler;
    std::unique_ptr<MonitorFileManager> m_watcher;
    std::function<void(const QString &jobId)> m_beforeHandOff;
    std::atomic<int> m_handOffsEnded{0};
    QList<int> m_exits;
    QProcess m_locker;
};

TEST_F(MonitorFaultTest, BriefLockByAnotherWriterOnlyDelaysTheHandOff)
{
    // Shorter than the connection's busy wait.
    ASSERT_NO_FATAL_FAILURE(insertRow(31));
    ASSERT_NO_FATAL_FAILURE(lockDatabase(DataBaseHelper::kBusyTimeout / 2));
    ASSERT_NO_FATAL_FAILURE(print(31, false));

    ASSERT_TRUE(waitForHandOffs(1));
    EXPECT_TRUE(openedJob(31)) << m_registry.opened().join('\n').toStdString();
    EXPECT_FALSE(m_log.contains("warning: can't find job id from db"));
    EXPECT_FALSE(QFile::exists(spoolPdf(31)));
    EXPECT_TRUE(m_exits.isEmpty());
}

TEST_F(MonitorFaultTest, LockHeldPastTheBusyWaitDelaysTheJobUntilTheLockEnds)
{
    // The row lacks its page counts, so the hand-off also writes to the locked table.
    ASSERT_NO_FATAL_FAILURE(insertRow(32));
    ASSERT_NO_FATAL_FAILURE(lockDatabase(DataBaseHelper::kBusyTimeout * 2));
    ASSERT_NO_FATAL_FAILURE(print(32, false));

    ASSERT_TRUE(waitForHandOffs(1));
    EXPECT_TRUE(openedJob(32)) << m_log.messages().join('\n').toStdString();
    EXPECT_TRUE(m_log.messages().indexOf(QRegularExpression(
                    QStringLiteral("^warning: the job database is busy, waiting to read the row "
                                   "of job 32 .*"))) >= 0);
    EXPECT_FALSE(m_log.contains("warning: can't find job id from db"));
    EXPECT_FALSE(QFile::exists(spoolPdf(32)));
    EXPECT_EQ(copies().size(), 1);
    const std::optional<DBJob> row = DBBusiness::getJobWithJobId("32", *m_database);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->pages, "3");
    EXPECT_EQ(row->totalPages, "6");

    ASSERT_NO_FATAL_FAILURE(print(33));
    ASSERT_TRUE(waitForHandOffs(2));
    EXPECT_TRUE(openedJob(33));
    EXPECT_EQ(m_registry.opened().size(), 2);
    EXPECT_TRUE(m_exits.isEmpty());
}

TEST_F(MonitorFaultTest, BusyWaitOutlastsALockOnEveryOperationOfTheHandOff)
{
    ASSERT_NO_FATAL_FAILURE(insertRow(34));
    DBJob counted = *DBBusiness::getJobWithJobId("34", *m_database);
    counted.pages = QStringLiteral("3");
    struct Case
    {
        const char *name;
        std::function<Error()> operation; // the error, or a null domain on success
    };
    const QList<Case> cases = {
        {"row read",
         [&] {
             const auto row = BusyDatabaseWait::run(QStringLiteral("read"), [&] {
                 return DBBusiness::readJobWithJobId(QStringLiteral("34"), *m_database);
             });
             return row ? Error{} : row.error();
         }},
        {"page count write-back",
         [&] {
             const auto written = BusyDatabaseWait::run(QStringLiteral("write"), [&] {
                 return DBBusiness::writeUpdates({counted}, *m_database);
             });
             return written ? Error{} : written.error();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(lockDatabase(DataBaseHelper::kBusyTimeout * 2));
        const Error failure = c.operation();
        EXPECT_TRUE(failure.domain.isNull()) << failure.description.toStdString();
        ASSERT_TRUE(m_locker.waitForFinished(10000));
    }
    EXPECT_EQ(DBBusiness::getJobWithJobId("34", *m_database)->pages, "3");
}

TEST_F(MonitorFaultTest, SpoolPdfDeletedBeforeTheCopyIsDroppedAndTheMonitorGoesOn)
{
    m_beforeHandOff = [this](const QString &jobId) {
        if (jobId == QLatin1String("41"))
            QFile::remove(spoolPdf(41));
    };
    ASSERT_NO_FATAL_FAILURE(print(41));

    ASSERT_TRUE(waitForHandOffs(1));
    const QStringList messages = m_log.messages();
    const qsizetype failed = messages.indexOf(
        QRegularExpression(QStringLiteral("^warning: can't copy file to .*\\.pdf $")));
    ASSERT_GE(failed, 0) << messages.join('\n').toStdString();
    EXPECT_EQ(messages.value(failed + 1), "warning: api parame string is nil");
    EXPECT_TRUE(m_registry.opened().isEmpty());
    EXPECT_TRUE(copies().isEmpty());
    // Nothing reached the row either.
    EXPECT_TRUE(DBBusiness::getJobWithJobId("41", *m_database)->pages.isNull());

    ASSERT_NO_FATAL_FAILURE(print(42));
    ASSERT_TRUE(waitForHandOffs(2));
    EXPECT_TRUE(openedJob(42));
    EXPECT_EQ(m_registry.opened().size(), 1);
    EXPECT_TRUE(m_exits.isEmpty());
}

TEST_F(MonitorFaultTest, FifoSwappedInAfterTheCompletenessCheckBlocksNoThread)
{
    const QByteArray fifo = QFile::encodeName(spoolPdf(43));
    m_beforeHandOff = [&](const QString &jobId) {
        if (jobId == QLatin1String("43")) {
            ASSERT_TRUE(QFile::remove(spoolPdf(43)) && ::mkfifo(fifo.constData(), 0666) == 0);
        }
    };
    ASSERT_NO_FATAL_FAILURE(print(43));

    const bool ended = waitForHandOffs(1);
    if (!ended) {
        // Let a reader stuck on the FIFO go, so that the test can end.
        const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    ASSERT_TRUE(ended);
    EXPECT_TRUE(m_log.messages().indexOf(QRegularExpression(
                    QStringLiteral("^warning: can't copy file to .*\\.pdf $"))) >= 0);
    EXPECT_TRUE(m_registry.opened().isEmpty());
    EXPECT_TRUE(copies().isEmpty());

    ASSERT_NO_FATAL_FAILURE(print(44));
    ASSERT_TRUE(waitForHandOffs(2));
    EXPECT_TRUE(openedJob(44));
    EXPECT_EQ(m_registry.opened().size(), 1);
}

} // namespace
