// A job CUPS cancels (SIGTERM) while its data is awaited, flows or has all arrived, or while the
// job table is busy, ends the program promptly and leaves nothing: no PDF, no partial file, no
// row; and nothing another user stores in the job table can keep the program from its end. The
// real program on a real pipe, as CUPS runs it.

#include "BackendFixture.h"
#include "BackendProcess.h"
#include "TestPdfs.h"

#include "backend/JobDatabaseWriter.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>

#include <SQLiteCpp/Database.h>

#include <cups/backend.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Generous bounds on waits that end far sooner; none of them measures speed.
constexpr auto kExitLimit = 10s;
constexpr auto kReadyLimit = 10s;
constexpr qint64 kJobId = 31;
constexpr qsizetype kChunkSize = 64 * 1024;
// Data that has surely begun to flow: the staged file holds this much.
constexpr qint64 kFlowingSize = 1024 * 1024;

enum class Phase {
    WaitingForData, // nothing written yet
    DataFlowing,    // written on and on, before and after the signal
    AfterLastByte,  // the whole document read, the end of the data not yet seen
};

struct CancelCase
{
    const char *name;
    Phase phase;
    bool closeAfterSignal; // the writer closes once the signal is sent; otherwise stays open
};

// A one-page PDF of about the given size: its content stream is mostly blank.
QByteArray largePdf(const QByteArray &label, qint64 size)
{
    const QByteArray content =
        "BT /F1 24 Tf 72 720 Td (" + label + ") Tj ET\n" + QByteArray(size, ' ');
    return TestPdfs::handMade(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R >>",
         "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
             "\nendstream"});
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

class CancelTest : public BackendFixture
{
protected:
    void SetUp() override
    {
        if (const QString reason = BackendProcess::unavailableReason(); !reason.isEmpty())
            GTEST_SKIP() << reason.toStdString();
    }

    QString messagesPath() const { return m_files.filePath(QStringLiteral("messages")); }

    static bool exitedWith(const std::optional<int> &status, int code)
    {
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
    }

private:
    QTemporaryDir m_files;
};

TEST_F(CancelTest, sigtermEndsTheJobPromptlyAndLeavesNothing)
{
    const CancelCase cases[] = {
        {"waiting for data, the writer then closes", Phase::WaitingForData, true},
        {"waiting for data, the writer stays open", Phase::WaitingForData, false},
        {"while data flows", Phase::DataFlowing, false},
        {"after the last byte, the writer then closes", Phase::AfterLastByte, true},
        {"after the last byte, the writer stays open", Phase::AfterLastByte, false},
    };
    const QByteArray chunk(kChunkSize, ' ');
    for (const CancelCase &cancel : cases) {
        const std::string what = cancel.name;
        useFreshRoot();
        BackendProcess program(root(), jobArguments(kJobId, ""), messagesPath());
        ASSERT_TRUE(program.started()) << what;

        switch (cancel.phase) {
        case Phase::WaitingForData:
            ASSERT_TRUE(TestSupport::waitUntil([&] { return program.stagedSize(pdfFolder()) >= 0; },
                                               kReadyLimit))
                << what;
            break;
        case Phase::DataFlowing:
            ASSERT_EQ(program.writeSome(kPdf.left(kPdf.indexOf('\n') + 1)), kPdf.indexOf('\n') + 1);
            ASSERT_TRUE(TestSupport::waitUntil(
                [&] {
                    program.writeSome(chunk);
                    return program.stagedSize(pdfFolder()) >= kFlowingSize;
                },
                kReadyLimit))
                << what;
            break;
        case Phase::AfterLastByte:
            ASSERT_EQ(program.writeSome(kPdf), kPdf.size()) << what;
            ASSERT_TRUE(TestSupport::waitUntil(
                [&] { return program.unread() == 0 && program.stagedSize(pdfFolder()) >= 0; },
                kReadyLimit))
                << what;
            break;
        }

        program.terminate();
        if (cancel.closeAfterSignal)
            program.closeInput();
        std::optional<int> status;
        ASSERT_TRUE(TestSupport::waitUntil(
            [&] {
                if (cancel.phase == Phase::DataFlowing)
                    program.writeSome(chunk);
                status = program.waitForExit(0ms);
                return status.has_value();
            },
            kExitLimit))
            << what << ": still running";

        // CUPS keeps a cancelled job's state whatever the status; nothing was handed over.
        EXPECT_TRUE(exitedWith(status, CUPS_BACKEND_FAILED)) << what << ": status " << *status;
        const QByteArray messages = TestSupport::readFile(messagesPath());
        EXPECT_TRUE(messages.startsWith("INFO: ")) << what << ": " << messages.constData();
        EXPECT_EQ(entriesOf(pdfFolder()), QStringList()) << what;
        EXPECT_FALSE(row(kJobId).has_value()) << what;
    }
}

// The documents of a job are being joined when CUPS cancels it: the joined PDF stops growing at
// once instead of being written whole, and nothing is left.
TEST_F(CancelTest, sigtermStopsTheJoinOfTheDocuments)
{
    constexpr qint64 kDocumentSize = 60 * 1024 * 1024;
    const QByteArray job = largePdf("First", kDocumentSize) + largePdf("Second", kDocumentSize);
    BackendProcess program(root(),
                           jobArguments(kJobId, "document-name-supplied=a.pdf "
                                                "document-name-supplied=b.pdf"),
                           messagesPath());
    ASSERT_TRUE(program.started());
    for (qsizetype written = 0; written < job.size();) {
        const qsizetype count = program.writeSome(job.mid(written, kChunkSize));
        written += count;
        if (count == 0) {
            ASSERT_FALSE(program.waitForExit(0ms).has_value()) << "ended before its data";
            std::this_thread::yield();
        }
    }
    program.closeInput();

    // The joined PDF is the second staged file, the smaller one while it is written.
    const qint64 earlyInTheJoin = job.size() / 4;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            const QList<qint64> sizes = program.stagedSizes(pdfFolder());
            return sizes.size() == 2 && sizes.first() < earlyInTheJoin;
        },
        kReadyLimit));
    program.terminate();
    qint64 largestJoined = 0;
    std::optional<int> status;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            if (const QList<qint64> sizes = program.stagedSizes(pdfFolder()); sizes.size() == 2)
                largestJoined = std::max(largestJoined, sizes.first());
            status = program.waitForExit(0ms);
            return status.has_value();
        },
        kExitLimit));

    EXPECT_LT(largestJoined, job.size() / 2) << "the join went on after the cancel";
    EXPECT_TRUE(exitedWith(status, CUPS_BACKEND_FAILED)) << *status;
    EXPECT_EQ(entriesOf(pdfFolder()), QStringList());
    EXPECT_FALSE(row(kJobId).has_value());
}

TEST_F(CancelTest, staleSweepRemovesOnlyPartialsWhoseWriterIsGone)
{
    // A backend at work on job 40 where the file system has no unnamed files: its partial file
    // is locked.
    ASSERT_TRUE(QDir().mkpath(pdfFolder()));
    const QString livePartial = QStringLiteral(".40.0123456789abcdef.partial");
    ASSERT_TRUE(TestSupport::writeFile(pdfFolder() + u'/' + livePartial, "%PDF-1.4 half"));
    const FileDescriptor liveWriter(::open(
        QFile::encodeName(pdfFolder() + u'/' + livePartial).constData(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(liveWriter.get(), LOCK_EX | LOCK_NB), 0);

    // What killed backends leave, in both forms of the name, and what others plant there.
    const QStringList dead{QStringLiteral(".41.partial"),
                           QStringLiteral(".42.0123456789abcdef.partial")};
    for (const QString &name : dead)
        ASSERT_TRUE(TestSupport::writeFile(pdfFolder() + u'/' + name, "%PDF-1.4 half"));
    const QString plantedLink = QStringLiteral(".43.partial");
    const QString plantedFolder = QStringLiteral(".44.fedcba9876543210.partial");
    ASSERT_TRUE(QFile::link(QStringLiteral("/etc/passwd"), pdfFolder() + u'/' + plantedLink));
    ASSERT_TRUE(QDir(pdfFolder()).mkdir(plantedFolder));
    ASSERT_TRUE(TestSupport::writeFile(
        pdfFolder() + u'/' + plantedFolder + QStringLiteral("/inside"), "kept"));
    // Not of the partial form: never looked at.
    const QString other = QStringLiteral(".45.partial.bak");
    ASSERT_TRUE(TestSupport::writeFile(pdfFolder() + u'/' + other, "kept"));

    ASSERT_EQ(run(jobArguments(46, ""), kPdf).status, CUPS_BACKEND_OK);

    QStringList expected{livePartial, plantedLink, plantedFolder, other, QStringLiteral("46.pdf")};
    expected.sort();
    QStringList left = entriesOf(pdfFolder());
    left.sort();
    EXPECT_EQ(left, expected);
    EXPECT_EQ(TestSupport::readFile(pdfFolder() + u'/' + plantedFolder + QStringLiteral("/inside")),
              "kept");
}

TEST_F(CancelTest, sigtermEndsTheWaitForABusyTable)
{
    ASSERT_EQ(run(jobArguments(50, ""), kPdf).status, CUPS_BACKEND_OK);
    // Another process holds the table for longer than any write waits.
    SQLite::Database holder(QFile::encodeName(databasePath()).constData(), SQLite::OPEN_READWRITE);
    holder.exec("BEGIN EXCLUSIVE");
    const FileDescriptor opens(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    ASSERT_GE(
        ::inotify_add_watch(opens.get(), QFile::encodeName(databasePath()).constData(), IN_OPEN),
        0);
    BackendProcess program(root(), jobArguments(kJobId, ""), messagesPath());
    ASSERT_TRUE(program.started());
    ASSERT_EQ(program.writeSome(kPdf), kPdf.size());
    program.closeInput();
    // The program has come to the table.
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            alignas(inotify_event) char event[sizeof(inotify_event) + NAME_MAX + 1];
            return ::read(opens.get(), event, sizeof event) > 0;
        },
        kReadyLimit));

    program.terminate();
    std::optional<int> status;
    // Well before the wait for the table would end by itself.
    const bool ended =
        TestSupport::waitUntil([&] { return (status = program.waitForExit(0ms)).has_value(); },
                               JobDatabaseWriter::kBusyTimeout / 2);
    holder.exec("ROLLBACK");

    ASSERT_TRUE(ended) << "the wait for the table outlived the cancel";
    EXPECT_TRUE(exitedWith(status, CUPS_BACKEND_FAILED)) << *status;
    const QByteArray messages = TestSupport::readFile(messagesPath());
    EXPECT_TRUE(messages.startsWith("INFO: ")) << messages.constData();
    EXPECT_FALSE(QFileInfo::exists(pdfPath(kJobId)));
    EXPECT_FALSE(row(kJobId).has_value());
}

TEST_F(CancelTest, codePlantedInTheJobTableNeverRuns)
{
    const struct
    {
        const char *name;
        const char *sql; // run by another user on the shared table
    } cases[] = {
        {"a trigger that rewrites the copies",
         "CREATE TRIGGER more AFTER INSERT ON t_job BEGIN "
         "UPDATE t_job SET copies='999' WHERE job_id = NEW.job_id; END;"},
        {"an endless view called by a trigger",
         "CREATE VIEW endless AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
         "SELECT count(*) FROM n; "
         "CREATE TRIGGER spin BEFORE INSERT ON t_job BEGIN SELECT * FROM endless; END;"},
    };
    for (const auto &plant : cases) {
        const std::string what = plant.name;
        useFreshRoot();
        ASSERT_EQ(run(jobArguments(60, ""), kPdf).status, CUPS_BACKEND_OK) << what;
        ASSERT_EQ(::chmod(QFile::encodeName(root()).constData(), 0777), 0) << what;
        ASSERT_TRUE(OtherUser::run(
            {QStringLiteral("sqlite3"), databasePath(), QString::fromLatin1(plant.sql)}))
            << what;

        BackendProcess program(root(), jobArguments(kJobId, "", "report.pdf", "2"), messagesPath());
        ASSERT_TRUE(program.started()) << what;
        ASSERT_EQ(program.writeSome(kPdf), kPdf.size()) << what;
        program.closeInput();
        std::optional<int> status = program.waitForExit(kExitLimit);
        if (!status) {
            program.terminate();
            status = program.waitForExit(kExitLimit);
        }

        ASSERT_TRUE(status.has_value()) << what << ": still running after SIGTERM";
        EXPECT_TRUE(exitedWith(status, CUPS_BACKEND_OK))
            << what << ": " << TestSupport::readFile(messagesPath()).constData();
        EXPECT_EQ(TestSupport::readFile(pdfPath(kJobId)), kPdf) << what;
        const auto columns = row(kJobId);
        ASSERT_TRUE(columns.has_value()) << what;
        EXPECT_EQ(columns->value("copies").toString(), QStringLiteral("2")) << what;
    }
}

} // namespace
