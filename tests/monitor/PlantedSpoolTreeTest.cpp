// What another local user can plant in a spool tree laid out as an old installation left it (the
// root without its sticky bit, so anyone may rename the folders in it) and in the copy folder, and
// what the monitor does with it: a link or another user's folder where a folder of the tree or the
// copy folder belongs is refused, the monitor takes no jobs and says why, and nothing of the
// desktop user's is deleted, copied or handed off. The hand-off's removal of a spool PDF swapped
// for a folder and then a link while it is copied removes nothing at all.

#include "OpenedFolder.h"
#include "PdfFixture.h"
#include "RecordingRegistry.h"
#include "monitor/HandlerService.h"
#include "monitor/MonitorStartup.h"
#include "monitor/db/DBBusiness.h"
#include "support/LogCapture.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include "foundation/logging/LogSetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

constexpr mode_t kSharedMode = 0777;
constexpr mode_t kPassThroughMode = 0755;
constexpr qint64 kPlantedJob = 2025;
// Older than the purge's limit by any clock.
constexpr std::chrono::seconds kOld = 3600s;

bool makeFolder(const QString &path, mode_t mode)
{
    return QDir().mkpath(path) && ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// Sets both file times back, as an old file has them.
bool age(const QString &path)
{
    const auto then = std::chrono::system_clock::now() - kOld;
    const timespec stamp{std::chrono::system_clock::to_time_t(then), 0};
    const timespec times[2] = {stamp, stamp};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

QStringList entriesOf(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                               QDir::System | QDir::Hidden);
    names.sort();
    return names;
}

// A spool tree, a copy folder in a /tmp of its own and a desktop user's folder, all in a
// temporary folder that every user may pass through.
class PlantedTree : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_EQ(::chmod(QFile::encodeName(m_root.path()).constData(), kPassThroughMode), 0);
        // As an old installation made it: shared, not sticky.
        ASSERT_TRUE(makeFolder(tree(), kSharedMode));
        for (const char *name : {"pdf_out", "db", "mlog"})
            ASSERT_TRUE(makeFolder(tree(name), kSharedMode));
        ASSERT_TRUE(makeFolder(m_root.filePath("tmp"), 01777));
        ASSERT_TRUE(makeFolder(documents(), 0700));

        // The desktop user's files: an old PDF, a PDF named like a job and a text.
        for (const char *name : {"thesis.pdf", "2025.pdf", "notes.txt"}) {
            PdfFixture::write(documents(name), 1);
            ASSERT_TRUE(age(documents(name)));
        }
        m_documentsBefore = entriesOf(documents());

        // A row for the job-shaped PDF, planted in the table every user may write.
        DataBaseHelper database(tree("db"));
        ASSERT_TRUE(DBBusiness::initWithTable(database));
        DBJob row;
        row.job_id = kPlantedJob;
        row.fileName = QStringLiteral("dGhlc2lzLnBkZg==");
        row.copies = QStringLiteral("1");
        ASSERT_TRUE(DBBusiness::updateJobs({row}, database));

        m_options.spoolFolder = tree("pdf_out");
        m_options.logFolder = tree("mlog");
        m_options.lockFile = tree("vqmmonitor.lock");
        m_options.copyFolder = copyFolder();
        m_options.timing = {20ms, 300ms};
        // Every file there counts as expired, whatever time the file system keeps.
        m_options.spoolMaxAge = 0s;
        m_options.syslogIdent = QString();
    }

    void TearDown() override { LogSetup::shutdown(); }

    QString tree(const QString &name = {}) const
    {
        return name.isEmpty() ? m_root.filePath("tree") : m_root.filePath("tree/" + name);
    }
    QString documents(const QString &name = {}) const
    {
        const QString folder = m_root.filePath("home/alice/Documents");
        return name.isEmpty() ? folder : folder + u'/' + name;
    }
    QString copyFolder() const { return m_root.filePath("tmp/vqmprinter"); }

    // Runs the start-up with the real hand-off; returns the exit status it asked for (-1: none).
    int startMonitor()
    {
        std::atomic<int> status{-1};
        DataBaseHelper database(tree("db"));
        RecordingRegistry registry;
        std::unique_ptr<HandlerService> handler;
        {
            MonitorStartup startup(
                m_options,
                [&](const CheckedFolder &spool, const CheckedFolder &copies) {
                    handler = std::make_unique<HandlerService>(spool, copies, registry, &database);
                    return [&](const QString &jobId) { handler->senderMessageWithJobId(jobId); };
                },
                [&](int exitStatus) { status = exitStatus; }, QThread::currentThread());
            startup.run();
            TestSupport::spin(300ms);
        }
        m_handlerMade = handler != nullptr;
        m_opened = registry.opened();
        return status;
    }

    QTemporaryDir m_root;
    MonitorStartup::Options m_options;
    QStringList m_documentsBefore;
    bool m_handlerMade = false;
    QStringList m_opened;
};

} // namespace

TEST_F(PlantedTree, SpoolFolderSwappedForALinkOrAnotherUsersFolderIsRefused)
{
    struct Case
    {
        const char *name;
        QString plantedBy;     // the other user's script; $1 the tree, $2 the desktop user's folder
        QString reason;        // in the monitor's one line
        QStringList leftThere; // what the planted folder holds afterwards
    };
    const QList<Case> cases = {
        {"a link to the desktop user's folder",
         "mv \"$1/pdf_out\" \"$1/x\" && ln -s \"$2\" \"$1/pdf_out\"",
         "is a symbolic link, which is never followed",
         {}},
        {"a folder of the other user's",
         "mv \"$1/pdf_out\" \"$1/x\" && mkdir -m 777 \"$1/pdf_out\" && "
         "printf '%%PDF-1.4\\n%%%%EOF\\n' > \"$1/pdf_out/2025.pdf\" && "
         "touch -d '2 hours ago' \"$1/pdf_out/old.pdf\"",
         "belongs to user",
         {"2025.pdf", "old.pdf"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(OtherUser::runScript(c.plantedBy, {tree(), documents()}));

        LogCapture log;
        EXPECT_EQ(startMonitor(), MonitorFileManager::kUnwatchableFolderStatus);
        const QStringList lines = log.processTexts().filter("takes no jobs");
        ASSERT_EQ(lines.size(), 1) << log.processTexts().join('\n').toStdString();
        EXPECT_TRUE(lines.first().startsWith("Unable to open the path = " + tree("pdf_out")));
        EXPECT_TRUE(lines.first().contains(c.reason)) << lines.first().toStdString();

        // Nothing deleted, copied, handed off or removed.
        EXPECT_EQ(entriesOf(documents()), m_documentsBefore);
        EXPECT_FALSE(m_handlerMade);
        EXPECT_TRUE(m_opened.isEmpty());
        EXPECT_TRUE(entriesOf(copyFolder()).isEmpty());
        if (!c.leftThere.isEmpty()) {
            EXPECT_EQ(entriesOf(tree("pdf_out")), c.leftThere);
        }

        // Put back as it was for the next case (as root, who may).
        ASSERT_TRUE(QFile::remove(tree("pdf_out")) || QDir(tree("pdf_out")).removeRecursively());
        ASSERT_TRUE(QDir().rename(tree("x"), tree("pdf_out")));
    }
}

TEST_F(PlantedTree, CopyFolderMadeFirstByAnotherUserIsRefused)
{
    const QString secret = m_root.filePath("secret");
    ASSERT_TRUE(makeFolder(secret, 0700));
    struct Case
    {
        const char *name;
        QStringList plant; // the other user's command
        QString reason;
    };
    const QList<Case> cases = {
        {"a link",
         {"ln", "-s", secret, copyFolder()},
         "is a symbolic link, which is never followed"},
        {"his own folder", {"mkdir", "-m", "755", copyFolder()}, "belongs to user"},
        {"a file", {"touch", copyFolder()}, "Not a directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(OtherUser::run(c.plant));

        LogCapture log;
        EXPECT_EQ(startMonitor(), MonitorFileManager::kUnwatchableFolderStatus);
        const QStringList lines = log.processTexts().filter("takes no jobs");
        ASSERT_EQ(lines.size(), 1) << log.processTexts().join('\n').toStdString();
        EXPECT_TRUE(
            lines.first().startsWith("The copy folder " + copyFolder() + " cannot be used"));
        EXPECT_TRUE(lines.first().contains(c.reason)) << lines.first().toStdString();
        EXPECT_FALSE(m_handlerMade);
        EXPECT_TRUE(entriesOf(secret).isEmpty());
        EXPECT_EQ(QFileInfo(secret).permissions() & QFile::ExeOther, QFile::Permissions());

        ASSERT_TRUE(QFile::remove(copyFolder()) || QDir().rmdir(copyFolder()));
    }
}

TEST_F(PlantedTree, LogPurgeThroughAPlantedLogFolderDeletesNothing)
{
    const QStringList dated = {"Monitor_2021.03.04.log", "2020.01.06"};
    for (const QString &name : dated)
        ASSERT_TRUE(TestSupport::writeFile(documents(name), "keep"));
    const QStringList before = entriesOf(documents());
    ASSERT_TRUE(OtherUser::runScript("mv \"$1/mlog\" \"$1/y\" && ln -s \"$2\" \"$1/mlog\"",
                                     {tree(), documents()}));
    MonitorStartup::deleteOutOfDateLog(tree("mlog"));
    EXPECT_EQ(entriesOf(documents()), before);

    // A folder of the other user's there is not ours to clean either.
    ASSERT_TRUE(QFile::remove(tree("mlog")));
    ASSERT_TRUE(OtherUser::runScript(
        "mkdir \"$1/mlog\" && touch \"$1/mlog/Monitor_2021.03.04.log\"", {tree()}));
    MonitorStartup::deleteOutOfDateLog(tree("mlog"));
    EXPECT_EQ(entriesOf(tree("mlog")), QStringList{"Monitor_2021.03.04.log"});
}

TEST_F(PlantedTree, JobTableInAPlantedFolderIsNeverOpened)
{
    LogCapture log;
    ASSERT_TRUE(
        OtherUser::runScript("mv \"$1/db\" \"$1/z\" && ln -s \"$1/z\" \"$1/db\"", {tree()}));
    DataBaseHelper linked(tree("db"));
    EXPECT_FALSE(DBBusiness::readJobWithJobId(QString::number(kPlantedJob), linked));

    ASSERT_TRUE(QFile::remove(tree("db")));
    ASSERT_TRUE(OtherUser::runScript("mkdir -m 777 \"$1/db\"", {tree()}));
    DataBaseHelper theirs(tree("db"));
    EXPECT_FALSE(DBBusiness::readJobWithJobId(QString::number(kPlantedJob), theirs));
    EXPECT_TRUE(entriesOf(tree("db")).isEmpty());
    EXPECT_EQ(log.processCount("cannot open the job database"), 2);
}

namespace {

// The other user's side of the race: as soon as the hand-off opens the spool PDF to copy it, the
// PDF is renamed away and a folder (with files, and a folder named like the desktop user) takes
// its name, then that folder is renamed away and a link to the desktop user's folder takes it.
// Prints "swapped" once both swaps are done, "late" when the PDF was gone before the first.
constexpr auto kSwapper = R"PY(
import ctypes, os, select, sys
spool, name, decoy, target = sys.argv[1:5]
libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init()
IN_OPEN = 0x20
if fd < 0 or libc.inotify_add_watch(fd, spool.encode(), IN_OPEN) < 0:
    sys.exit(2)
open(os.path.join(decoy, "..", "ready"), "w").close()
if not select.select([fd], [], [], 20)[0]:
    sys.exit(3)
path = os.path.join(spool, name)
try:
    os.rename(path, os.path.join(spool, "moved.pdf"))
except FileNotFoundError:
    print("late"); sys.exit(0)
os.rename(decoy, path)
os.rename(path, os.path.join(spool, "decoy-away"))
os.symlink(target, path)
print("swapped")
)PY";

} // namespace

TEST_F(PlantedTree, RemovalOfASpoolPdfSwappedDuringTheCopyRemovesNothing)
{
    constexpr int kRounds = 5;
    // Large enough that the copy outlasts the other user's two swaps.
    constexpr qsizetype kPdfSize = 64 * 1024 * 1024;
    const QString scratch = m_root.filePath("scratch");
    ASSERT_TRUE(makeFolder(scratch, kSharedMode));
    const auto spool = OpenedFolder::open(tree("pdf_out"));
    const auto copies = OpenedFolder::open(copyFolder());
    ASSERT_TRUE(spool && copies);
    DataBaseHelper database(tree("db"));
    // With its page counts, so that the hand-off never reads the copy.
    DBJob row = *DBBusiness::getJobWithJobId(QString::number(kPlantedJob), database);
    row.pages = row.totalPages = QStringLiteral("1");
    ASSERT_TRUE(DBBusiness::updateJobs({row}, database));
    RecordingRegistry registry;
    HandlerService handler(*spool, *copies, registry, &database);
    const QString job = QStringLiteral("%1.pdf").arg(kPlantedJob);

    LogCapture log;
    bool raced = false;
    for (int round = 0; round < kRounds && !raced; ++round) {
        SCOPED_TRACE(round);
        // The decoy folder, made by the other user, with files and a folder named like alice.
        const QString decoy = scratch + "/decoy";
        ASSERT_TRUE(OtherUser::runScript(
            "mkdir -m 777 \"$1\" \"$1/alice\" && touch \"$1/a\" \"$1/b\"", {decoy}));
        QByteArray pdf("%PDF-1.4\n");
        pdf.resize(kPdfSize, ' ');
        ASSERT_TRUE(TestSupport::writeFile(tree("pdf_out/" + job), pdf + "\n%%EOF\n"));
        QFile::remove(scratch + "/ready");

        QString answer;
        std::thread attacker([&] {
            QProcess process;
            process.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                      "/usr/bin/python3", "-c", kSwapper, tree("pdf_out"), job,
                                      decoy, documents()});
            process.waitForFinished(30000);
            answer = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        });
        ASSERT_TRUE(TestSupport::waitUntil([&] { return QFile::exists(scratch + "/ready"); }, 10s));
        handler.senderMessageWithJobId(QString::number(kPlantedJob));
        attacker.join();
        ASSERT_TRUE(answer == "swapped" || answer == "late") << answer.toStdString();
        raced = answer == "swapped";

        // Whatever the removal met, nothing outside the spool PDF it copied is gone.
        EXPECT_EQ(entriesOf(documents()), m_documentsBefore);
        if (raced) {
            EXPECT_TRUE(QFileInfo(tree("pdf_out/" + job)).isSymLink());
            EXPECT_EQ(entriesOf(tree("pdf_out/decoy-away")), QStringList({"a", "alice", "b"}));
            EXPECT_TRUE(QFile::exists(tree("pdf_out/moved.pdf")));
            EXPECT_EQ(log.count("was not removed"), 1) << log.text().toStdString();
        }
        // Cleared for the next round, as root.
        for (const QString &name : entriesOf(tree("pdf_out")))
            ASSERT_TRUE(QFile::remove(tree("pdf_out/" + name)) ||
                        QDir(tree("pdf_out/" + name)).removeRecursively());
        QDir(decoy).removeRecursively();
    }
    if (!raced)
        GTEST_SKIP() << "the hand-off outran the other user's swaps in every round";
}
