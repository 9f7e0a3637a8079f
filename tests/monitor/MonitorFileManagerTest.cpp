// The spool watcher on a real temporary folder with inotify: which files become jobs, the
// completeness check and wait, and the cases where jobs used to get lost.

#include "monitor/MonitorFileManager.h"
#include "OpenedFolder.h"
#include "support/LogCapture.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSemaphore>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using TestSupport::waitUntil;

namespace {

const QByteArray kCompletePdf = "%PDF-1.4\n1 0 obj\n<< >>\nendobj\ntrailer\n<< >>\n%%EOF\n";
const QByteArray kUnfinishedPdf = "%PDF-1.4\n1 0 obj\n<< >>\nendobj\n";

bool appendFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(content) == content.size();
}

class SpoolWatcher : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        spool = root.filePath("pdf_out");
        ASSERT_TRUE(QDir().mkpath(spool));
    }

    void TearDown() override
    {
        manager.reset();
        spoolFolder.reset();
    }

    void startManager(CompletenessWait::Timing timing = {20ms, 300ms})
    {
        spoolFolder = OpenedFolder::open(spool);
        ASSERT_TRUE(spoolFolder);
        manager = std::make_unique<MonitorFileManager>(
            *spoolFolder, timing, [this](const QString &jobId) { handOff(jobId); },
            [this](int status) { exitStatus = status; });
        manager->monitorFile();
        ASSERT_EQ(exitStatus, -1);
    }

    // Stands in for the hand-off: records the id and, like the real one, consumes the file.
    virtual void handOff(const QString &jobId)
    {
        QFile::remove(pdfPath(jobId + ".pdf"));
        QMutexLocker lock(&mutex);
        handedOff.append(jobId);
    }

    QStringList handed() const
    {
        QMutexLocker lock(&mutex);
        return handedOff;
    }

    QString pdfPath(const QString &name) const { return QDir(spool).filePath(name); }
    void write(const QString &name, const QByteArray &content = kCompletePdf)
    {
        ASSERT_TRUE(TestSupport::writeFile(pdfPath(name), content));
    }

    QTemporaryDir root;
    QString spool;
    LogCapture log;
    std::unique_ptr<CheckedFolder> spoolFolder;
    std::unique_ptr<MonitorFileManager> manager;
    int exitStatus = -1;
    mutable QMutex mutex;
    QStringList handedOff;
};

} // namespace

TEST(CompletenessCheck, OnlyTheLastSevenBytesCount)
{
    QTemporaryDir folder;
    const auto opened = OpenedFolder::open(folder.path());
    ASSERT_TRUE(opened);
    const QList<std::pair<QByteArray, bool>> cases = {
        {"%PDF-1.4 body\n%%EOF\n", true},
        {"%PDF-1.4 body\n%%EOF\r\n", true},
        {"%PDF-1.4 body\n%%EOF", true},
        {"%PDF-1.4 body\n%%EOFabc", false},
        {"%PDF-1.4 body\n%%EOF\n% incremental update\n", false},
        {"%%EOF\n\n", false},       // exactly 7 bytes
        {"%%EOF\n", false},         // shorter
        {"%PDF\xff%%EOF\n", false}, // not UTF-8
        {"%PDF-1.4 b\xc3%%EOF\n", false},
    };
    for (const auto &[content, complete] : cases) {
        ASSERT_TRUE(TestSupport::writeFile(folder.filePath("job.pdf"), content));
        EXPECT_EQ(MonitorFileManager::readFileEOF(opened->descriptor(), "job.pdf"), complete)
            << content.toStdString();
    }
    EXPECT_FALSE(MonitorFileManager::readFileEOF(opened->descriptor(), "missing.pdf"));
}

TEST(SpoolJobIds, PdfNamesInAnyCaseGiveTheirStem)
{
    const QHash<QString, QString> jobs = MonitorFileManager::pdfsPathToJobDictionary(
        {"1234.pdf", "a.b.pdf", "77.PDF", "notes.txt", "pdf", "x.pdf.txt"});
    const QHash<QString, QString> expected = {
        {"1234", "1234.pdf"}, {"a.b", "a.b.pdf"}, {"77", "77.PDF"}};
    EXPECT_EQ(jobs, expected);
}

TEST(CompletenessWaitSchedule, ChecksAtOnceThenEveryIntervalAndTimesOutOneIntervalAfterTheLimit)
{
    int checks = 0;
    CompletenessWait wait([&] { return ++checks, false; }, {40ms, 200ms});
    QElapsedTimer clock;
    bool timedOut = false;
    qint64 timedOutAt = 0;
    QObject::connect(&wait, &CompletenessWait::timedOut, [&] {
        timedOut = true;
        timedOutAt = clock.elapsed();
    });
    clock.start();
    wait.start();
    EXPECT_EQ(checks, 1);
    // Early wake-ups add checks but never bring the end forward.
    int wakes = 0;
    for (int i = 0; i < 5; ++i) {
        TestSupport::spin(10ms);
        if (!wait.isFinished())
            ++wakes;
        wait.wake();
    }
    ASSERT_TRUE(waitUntil([&] { return timedOut; }, 5s));
    EXPECT_GE(timedOutAt, 240);
    EXPECT_EQ(checks, 6 + wakes); // at 0, 40, ..., 200 ms, plus the wake-ups
}

TEST(CompletenessWaitSchedule, CompletesAtTheFirstGoodCheck)
{
    int checks = 0;
    CompletenessWait wait([&] { return ++checks == 3; }, {10ms, 1000ms});
    bool completed = false;
    QObject::connect(&wait, &CompletenessWait::completed, [&] { completed = true; });
    wait.start();
    ASSERT_TRUE(waitUntil([&] { return completed; }, 5s));
    TestSupport::spin(50ms);
    EXPECT_EQ(checks, 3);
}

TEST_F(SpoolWatcher, NewCompletePdfIsHandedOffAndPresentOnesNeverAre)
{
    write("1.pdf");
    startManager();
    EXPECT_TRUE(log.contains("info: version is 2.4.20"));

    write("2.pdf");
    ASSERT_TRUE(waitUntil([&] { return handed().contains("2"); }));
    // The file present at start is touched and completed again: still not a job.
    ASSERT_TRUE(appendFile(pdfPath("1.pdf"), "\n%%EOF\n"));
    write("a.b.pdf");
    ASSERT_TRUE(waitUntil([&] { return handed().contains("a.b"); }));
    TestSupport::spin(100ms);
    EXPECT_EQ(handed(), QStringList({"2", "a.b"}));
    EXPECT_TRUE(log.contains("info: monitor new job id : 2"));
    EXPECT_TRUE(log.contains("info: handle message with job id : 2"));
}

TEST_F(SpoolWatcher, EveryPdfOfABurstIsHandedOffOnce)
{
    startManager();
    constexpr int kBurst = 60;
    for (int i = 0; i < kBurst; ++i)
        write(QString::number(1000 + i) + ".pdf");
    ASSERT_TRUE(waitUntil([&] { return handed().size() >= kBurst; }));
    TestSupport::spin(100ms);
    QStringList ids = handed();
    EXPECT_EQ(ids.size(), kBurst);
    ids.removeDuplicates();
    EXPECT_EQ(ids.size(), kBurst);
}

TEST_F(SpoolWatcher, OtherFilesAreNoJobs)
{
    startManager();
    write("notes.txt");
    TestSupport::spin(100ms);
    EXPECT_TRUE(handed().isEmpty());
    EXPECT_FALSE(manager->jobsMap().contains("notes"));
    EXPECT_TRUE(manager->filePaths().contains("notes.txt"));
}

TEST_F(SpoolWatcher, IncompletePdfTimesOutWithTheIntegrityWarning)
{
    startManager({20ms, 300ms});
    QElapsedTimer clock;
    clock.start();
    write("9.pdf", kUnfinishedPdf);
    const QString warning = "warning: monitor new job id : 9, integrity error";
    ASSERT_TRUE(waitUntil([&] { return log.contains(warning); }, 5s));
    EXPECT_GE(clock.elapsed(), 320);
    EXPECT_TRUE(handed().isEmpty());
    EXPECT_TRUE(QFile::exists(pdfPath("9.pdf")));

    // Given up for good: completing it later, or other files arriving, does not bring it back.
    ASSERT_TRUE(appendFile(pdfPath("9.pdf"), "trailer\n%%EOF\n"));
    write("10.pdf");
    ASSERT_TRUE(waitUntil([&] { return handed().contains("10"); }));
    TestSupport::spin(100ms);
    EXPECT_EQ(handed(), QStringList({"10"}));
    EXPECT_EQ(log.messages().count(warning), 1);
}

TEST_F(SpoolWatcher, WaitingJobIsNotStartedTwice)
{
    startManager({20ms, 5000ms});
    write("8.pdf", kUnfinishedPdf);
    ASSERT_TRUE(waitUntil([&] { return log.contains("info: monitor new job id : 8"); }));
    // The backend rewrites the file while other jobs come and go.
    QFile::remove(pdfPath("8.pdf"));
    write("8.pdf", kUnfinishedPdf);
    write("11.pdf");
    ASSERT_TRUE(waitUntil([&] { return handed().contains("11"); }));
    ASSERT_TRUE(appendFile(pdfPath("8.pdf"), "trailer\n%%EOF\n"));
    ASSERT_TRUE(waitUntil([&] { return handed().contains("8"); }));
    TestSupport::spin(100ms);
    EXPECT_EQ(handed().count("8"), 1);
    EXPECT_EQ(log.messages().count("info: monitor new job id : 8"), 1);
}

TEST_F(SpoolWatcher, FileClosedAfterWritingIsHandedOffWithoutWaitingForTheNextCheck)
{
    startManager({5000ms, 20000ms});
    write("4.pdf", kUnfinishedPdf);
    ASSERT_TRUE(waitUntil([&] { return log.contains("info: monitor new job id : 4"); }));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(appendFile(pdfPath("4.pdf"), "trailer\n%%EOF\n"));
    ASSERT_TRUE(waitUntil([&] { return handed().contains("4"); }, 3s));
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST_F(SpoolWatcher, ReusedIdIsHandledAgain)
{
    startManager();
    write("5.pdf");
    ASSERT_TRUE(waitUntil([&] { return handed().size() == 1; }));
    ASSERT_TRUE(waitUntil([&] { return !manager->jobsMap().contains("5"); }));
    write("5.pdf");
    ASSERT_TRUE(waitUntil([&] { return handed().size() == 2; }));
    EXPECT_EQ(handed(), QStringList({"5", "5"}));
}

namespace {

// A hand-off that stays busy after consuming the file until the test lets it go.
class SlowHandOff : public SpoolWatcher
{
protected:
    void handOff(const QString &jobId) override
    {
        SpoolWatcher::handOff(jobId);
        if (handed().size() == 1)
            release.acquire();
    }
    QSemaphore release;
};

} // namespace

TEST_F(SlowHandOff, IdReusedWhileItsHandOffRunsIsHandledAfterIt)
{
    startManager();
    write("6.pdf");
    ASSERT_TRUE(waitUntil([&] { return handed().size() == 1; }));
    // The earlier file is gone and its hand-off still runs when the same id comes again.
    write("6.pdf");
    ASSERT_TRUE(waitUntil([&] { return manager->jobsMap().contains("6"); }));
    TestSupport::spin(100ms);
    EXPECT_EQ(handed().size(), 1);
    release.release();
    ASSERT_TRUE(waitUntil([&] { return handed().size() == 2; }));
    EXPECT_FALSE(QFile::exists(pdfPath("6.pdf")));
}

TEST_F(SpoolWatcher, LostFolderEndsTheProcessWithStatusOne)
{
    struct Case
    {
        const char *name;
        std::function<bool(const QString &spool)> loseFolder;
    };
    const QList<Case> cases = {
        {"removed", [](const QString &folder) { return QDir().rmdir(folder); }},
        {"removed and made again",
         [](const QString &folder) { return QDir().rmdir(folder) && QDir().mkdir(folder); }},
        // The print queue writes to whatever is at the path now, never into the watched folder.
        {"moved away",
         [](const QString &folder) { return QDir().rename(folder, folder + ".away"); }},
    };
    qsizetype lines = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        exitStatus = -1;
        ASSERT_NO_FATAL_FAILURE(startManager());
        ASSERT_TRUE(c.loseFolder(spool));
        ASSERT_TRUE(waitUntil([&] { return exitStatus != -1; }));
        EXPECT_EQ(exitStatus, 1);
        EXPECT_EQ(log.processCount("Unable to open the path = " + spool), ++lines);
        manager.reset();
        QDir(spool).removeRecursively();
        QDir(spool + ".away").removeRecursively();
        ASSERT_TRUE(QDir().mkpath(spool));
    }
}

TEST_F(SpoolWatcher, OverflowedEventQueueRescansTheFolder)
{
    // Files closed after writing fill the watcher's event queue without changing the entries;
    // the job that is moved in afterwards only shows as the queue's overflow.
    const QStringList filler = {pdfPath("a.txt"), pdfPath("b.txt")};
    for (const QString &path : filler)
        write(QFileInfo(path).fileName(), "x");
    startManager();
    QFile limitFile("/proc/sys/fs/inotify/max_queued_events");
    ASSERT_TRUE(limitFile.open(QIODevice::ReadOnly));
    const int queueLimit = limitFile.readAll().trimmed().toInt();
    ASSERT_GT(queueLimit, 0);
    for (int i = 0; i <= queueLimit; ++i) {
        QFile file(filler[i % 2]);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
    }
    ASSERT_TRUE(TestSupport::writeFile(root.filePath("5.pdf"), kCompletePdf));
    ASSERT_TRUE(QFile::rename(root.filePath("5.pdf"), pdfPath("5.pdf")));

    ASSERT_TRUE(waitUntil([&] { return handed().contains("5"); }));
}

TEST_F(SpoolWatcher, FifoAtAJobNameBlocksNothing)
{
    startManager({20ms, 200ms});
    ASSERT_EQ(::mkfifo(QFile::encodeName(pdfPath("7.pdf")).constData(), 0666), 0);
    write("8.pdf");
    ASSERT_TRUE(waitUntil([&] { return handed().contains("8"); }));
    EXPECT_EQ(handed(), QStringList({"8"}));
    EXPECT_FALSE(log.contains("info: monitor new job id : 7"));
    EXPECT_EQ(log.count(pdfPath("7.pdf") + " is no job of the print queue's (not a regular file)"),
              1);
}

TEST(CompletenessCheck, AnotherUsersFileIsNeverComplete)
{
    QTemporaryDir root;
    const QString folder = root.filePath("pdf_out");
    const auto opened = OpenedFolder::open(folder);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(OtherUser::shareFolder(folder, root.path()));
    ASSERT_TRUE(OtherUser::runScript(
        "printf '%%PDF-1.4\\n1 0 obj\\n%%%%EOF\\n' > \"$1/theirs.pdf\"", {folder}));
    ASSERT_TRUE(TestSupport::writeFile(folder + "/mine.pdf", kCompletePdf));
    ASSERT_EQ(::link(QFile::encodeName(folder + "/mine.pdf").constData(),
                     QFile::encodeName(folder + "/linked.pdf").constData()),
              0);
    ASSERT_TRUE(TestSupport::readFile(folder + "/theirs.pdf").endsWith("%%EOF\n"));
    EXPECT_FALSE(MonitorFileManager::readFileEOF(opened->descriptor(), "theirs.pdf"));
    // Two names: either may be another user's link to the backend's file.
    EXPECT_FALSE(MonitorFileManager::readFileEOF(opened->descriptor(), "linked.pdf"));
    EXPECT_FALSE(MonitorFileManager::readFileEOF(opened->descriptor(), "mine.pdf"));
    ASSERT_TRUE(QFile::remove(folder + "/linked.pdf"));
    EXPECT_TRUE(MonitorFileManager::readFileEOF(opened->descriptor(), "mine.pdf"));
}

namespace {

// A complete PDF of root's (the backend's, as far as the monitor can tell) put at the name in one
// step, as the backend publishes: renamed over whatever stands there.
bool publish(const QString &folder, const QString &name)
{
    const QString staged = folder + "/.staged";
    return TestSupport::writeFile(staged, kCompletePdf) &&
           ::rename(QFile::encodeName(staged).constData(),
                    QFile::encodeName(folder + u'/' + name).constData()) == 0;
}

} // namespace

TEST_F(SpoolWatcher, OnlyTheBackendsFilesAreJobsAndNonePlantedHidesOne)
{
    ASSERT_TRUE(OtherUser::shareFolder(spool, root.path()));
    struct Case
    {
        const char *what;
        QString jobId;
        // The other user's script ($1 the spool folder), run before the monitor starts.
        QString plantedFirst;
        // What comes after the start: the backend's publication (or nothing), or the other
        // user's entry.
        std::function<bool()> after;
        bool handedOff;
    };
    const QString outside = root.filePath("outside.pdf");
    ASSERT_TRUE(TestSupport::writeFile(outside, kCompletePdf));
    const QList<Case> cases = {
        {"published beside a planted name of another case", "71", "echo x > \"$1/71.PDF\"",
         [&] { return publish(spool, "71.pdf"); }, true},
        {"published over a planted name", "72", "echo x > \"$1/72.pdf\"",
         [&] { return publish(spool, "72.pdf"); }, true},
        {"published where a planted folder was moved aside", "73", "mkdir \"$1/73.pdf\"",
         [&] {
             return QDir().rename(pdfPath("73.pdf"), pdfPath(".73.aside")) &&
                    publish(spool, "73.pdf");
         },
         true},
        {"published over a file of the backend's seen at start", "74", "",
         [&] { return publish(spool, "74.pdf"); }, true},
        {"another user's complete PDF", "75", "",
         [&] {
             return OtherUser::runScript("printf '%%PDF-1.4\\n%%%%EOF\\n' > \"$1/75.pdf\"",
                                         {spool});
         },
         false},
        {"another user's link to a complete PDF", "76", "",
         [&] { return OtherUser::plantLink(outside, pdfPath("76.pdf")); }, false},
        {"a second name of a complete PDF", "77", "",
         [&] {
             return ::link(QFile::encodeName(outside).constData(),
                           QFile::encodeName(pdfPath("77.pdf")).constData()) == 0;
         },
         false},
    };
    write("74.pdf");
    for (const Case &c : cases) {
        if (!c.plantedFirst.isEmpty()) {
            ASSERT_TRUE(OtherUser::runScript(c.plantedFirst, {spool})) << c.what;
        }
    }
    startManager();
    for (const Case &c : cases)
        ASSERT_TRUE(c.after()) << c.what;

    QStringList expected;
    for (const Case &c : cases) {
        if (c.handedOff)
            expected.append(c.jobId);
    }
    ASSERT_TRUE(waitUntil([&] { return handed().size() >= expected.size(); }));
    // Further folder events find the planted entries again, and log them no more.
    write("notes.txt");
    TestSupport::spin(200ms);
    QStringList ids = handed();
    ids.sort();
    EXPECT_EQ(ids, expected);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.handedOff) {
            EXPECT_FALSE(manager->jobsMap().contains(c.jobId));
            continue;
        }
        EXPECT_FALSE(log.contains("info: monitor new job id : " + c.jobId));
        EXPECT_TRUE(QFileInfo(pdfPath(c.jobId + ".pdf")).isSymLink() ||
                    QFileInfo::exists(pdfPath(c.jobId + ".pdf")));
        EXPECT_EQ(log.count(pdfPath(c.jobId + ".pdf") + " is no job of the print queue's"), 1)
            << log.text().toStdString();
    }
    EXPECT_EQ(log.count(pdfPath("71.PDF") + " is no job of the print queue's (a file of user"), 1);
    EXPECT_TRUE(QFile::exists(pdfPath("71.PDF")));
    EXPECT_EQ(TestSupport::readFile(outside), kCompletePdf);
}

namespace {

// A hand-off that fails before it takes the file (the copy could not be made).
class FailingHandOff : public SpoolWatcher
{
protected:
    void handOff(const QString &jobId) override
    {
        QMutexLocker lock(&mutex);
        handedOff.append(jobId);
    }
};

} // namespace

TEST_F(FailingHandOff, FileItLeftBehindIsNotRetried)
{
    startManager();
    write("12.pdf");
    ASSERT_TRUE(waitUntil([&] { return handed().size() == 1; }));
    write("13.pdf");
    ASSERT_TRUE(waitUntil([&] { return handed().size() == 2; }));
    TestSupport::spin(100ms);
    EXPECT_EQ(handed(), QStringList({"12", "13"}));
}
