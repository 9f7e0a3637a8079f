#include "BackendFixture.h"

#include "foundation/SharedFolderFiles.h"
#include "foundation/TextHelpers/Base64.h"
#include "monitor/db/DBBusiness.h"
#include "monitor/db/DataBaseHelper.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <algorithm>

#include <cups/backend.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Hands out its data in small pieces and, before each piece, notes the PDFs the spool folder
// holds at that moment. It can also fail or report a cancellation midway.
class ProbeDevice : public QIODevice
{
public:
    using Observation = QStringList;

    ProbeDevice(QByteArray data, std::function<Observation()> observe)
        : m_data(std::move(data))
        , m_observe(std::move(observe))
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }

    QList<Observation> observations;
    qsizetype failAfterPieces = -1;
    std::function<void()> afterFirstPiece;

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        observations.append(m_observe());
        if (m_pieces == failAfterPieces) {
            setErrorString(QStringLiteral("device gone"));
            return -1;
        }
        if (m_pieces == 1 && afterFirstPiece)
            afterFirstPiece();
        ++m_pieces;
        const qint64 length = std::min<qint64>({maxSize, kPieceSize, m_data.size() - m_offset});
        std::memcpy(data, m_data.constData() + m_offset, size_t(length));
        m_offset += length;
        return length;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    static constexpr qint64 kPieceSize = 7;
    QByteArray m_data;
    std::function<Observation()> m_observe;
    qint64 m_offset = 0;
    qsizetype m_pieces = 0;
};

class UmaskScope
{
public:
    explicit UmaskScope(mode_t mask)
        : m_previous(::umask(mask))
    {}
    ~UmaskScope() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The changes of entries in the folders, in the order the kernel saw them.
class FolderEvents
{
public:
    struct Event
    {
        QString folder;
        QString name;
        uint32_t mask = 0;
    };

    explicit FolderEvents(const QStringList &folders)
        : m_inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_TRUE(m_inotify.valid());
        for (const QString &folder : folders) {
            const int watch = ::inotify_add_watch(
                m_inotify.get(), QFile::encodeName(folder).constData(),
                IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO);
            EXPECT_GE(watch, 0) << folder.toStdString();
            m_folders.insert(watch, folder);
        }
    }

    // Every event queued so far.
    QList<Event> take()
    {
        QList<Event> events;
        alignas(inotify_event) char buffer[kBufferSize];
        for (ssize_t length; (length = ::read(m_inotify.get(), buffer, sizeof buffer)) > 0;) {
            for (ssize_t offset = 0; offset < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                events.append({m_folders.value(event->wd),
                               event->len ? QFile::decodeName(event->name) : QString(),
                               event->mask});
                offset += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return events;
    }

private:
    static constexpr size_t kBufferSize = 64 * 1024;
    FileDescriptor m_inotify;
    QHash<int, QString> m_folders;
};

class PrinterBackendTest : public BackendFixture
{
protected:
    ProbeDevice::Observation observe() const
    {
        return QDir(pdfFolder()).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    }
};

TEST_F(PrinterBackendTest, listsItsDeviceWhenRunWithoutArguments)
{
    const BackendOutcome outcome = run({});
    EXPECT_EQ(outcome.status, CUPS_BACKEND_OK);
    EXPECT_EQ(outcome.output, "direct vqmprinter:/ \"Tarvello\" \"Tarvello print client\"\n");
    EXPECT_TRUE(entriesOf(root()).isEmpty());
}

TEST_F(PrinterBackendTest, spoolsJobFromStandardInputWithItsRow)
{
    const BackendOutcome outcome = run(jobArguments(12, "", "report.pdf", "2"), kPdf);

    ASSERT_EQ(outcome.status, CUPS_BACKEND_OK) << outcome.messages.constData();
    EXPECT_EQ(TestSupport::readFile(pdfPath(12)), kPdf);
    EXPECT_EQ(entriesOf(pdfFolder()), QStringList{QStringLiteral("12.pdf")});
    const auto columns = row(12);
    ASSERT_TRUE(columns);
    EXPECT_EQ(columns->value("job_id").toLongLong(), 12);
    EXPECT_EQ(columns->value("fileName").toString(), QStringLiteral("cmVwb3J0LnBkZg=="));
    EXPECT_EQ(columns->value("copies").toString(), QStringLiteral("2"));
    EXPECT_EQ(columns->value("orientation").toString(), QStringLiteral("1"));
    EXPECT_EQ(columns->value("duplex").toString(), QStringLiteral("1"));
    EXPECT_EQ(columns->value("color").toString(), QStringLiteral("1"));
    EXPECT_EQ(columns->value("paperSize").toString(), QStringLiteral("9"));
    EXPECT_EQ(columns->value("pageType").toString(), QStringLiteral("A4"));
    // The monitor counts the pages.
    EXPECT_TRUE(columns->value("pages").isNull());
    EXPECT_TRUE(columns->value("totalPages").isNull());
    EXPECT_EQ(columns->value("isUploaded").toLongLong(), 0);
    EXPECT_TRUE(outcome.messages.startsWith("INFO: ")) << outcome.messages.constData();
}

TEST_F(PrinterBackendTest, spoolsTheNamedFileRatherThanStandardInput)
{
    QTemporaryDir files;
    const QString job = files.filePath(QStringLiteral("d00042-001"));
    ASSERT_TRUE(TestSupport::writeFile(job, kPdf));

    const BackendOutcome outcome =
        run(jobArguments(42, "media=Letter") << QFile::encodeName(job), "not this");

    ASSERT_EQ(outcome.status, CUPS_BACKEND_OK) << outcome.messages.constData();
    EXPECT_EQ(TestSupport::readFile(pdfPath(42)), kPdf);
    EXPECT_EQ(row(42)->value("pageType").toString(), QStringLiteral("Letter"));
}

TEST_F(PrinterBackendTest, recordsTheTitleAsBase64OfItsUtf8Bytes)
{
    const QByteArray title = QStringLiteral("季度报告 Q3.pdf").toUtf8();
    ASSERT_EQ(run(jobArguments(3, "", title), kPdf).status, CUPS_BACKEND_OK);
    ASSERT_EQ(run(jobArguments(4, "", ""), kPdf).status, CUPS_BACKEND_OK);

    const QString stored = row(3)->value("fileName").toString();
    EXPECT_EQ(stored, QString::fromLatin1(title.toBase64()));
    EXPECT_EQ(Base64::dencode(stored), QString::fromUtf8(title));
    // An empty title is an empty text, not a missing one.
    const QVariant empty = row(4)->value("fileName");
    EXPECT_FALSE(empty.isNull());
    EXPECT_EQ(empty.toString(), QString());
}

TEST_F(PrinterBackendTest, givesSharedModesWhateverTheUmask)
{
    // Where the installation was skipped, the backend makes the whole tree itself.
    ASSERT_TRUE(QDir().rmdir(root()));
    {
        const UmaskScope restrictive(077);
        ASSERT_EQ(run(jobArguments(5, ""), kPdf).status, CUPS_BACKEND_OK);
    }
    EXPECT_EQ(modeOf(root()), 01777u);
    EXPECT_EQ(modeOf(pdfFolder()), 0777u);
    EXPECT_EQ(modeOf(databaseFolder()), 0777u);
    EXPECT_EQ(modeOf(databasePath()), 0666u);
    // Every user's monitor reads the PDF; nobody else may rewrite it.
    EXPECT_EQ(modeOf(pdfPath(5)), 0644u);

    // A database file left too narrow (or widened by the monitor) is opened up, never narrowed.
    ASSERT_EQ(::chmod(QFile::encodeName(databasePath()).constData(), 0600), 0);
    ASSERT_EQ(run(jobArguments(6, ""), kPdf).status, CUPS_BACKEND_OK);
    EXPECT_EQ(modeOf(databasePath()), 0666u);
    ASSERT_EQ(::chmod(QFile::encodeName(databasePath()).constData(), 0777), 0);
    ASSERT_EQ(run(jobArguments(7, ""), kPdf).status, CUPS_BACKEND_OK);
    EXPECT_EQ(modeOf(databasePath()), 0777u);
}

TEST_F(PrinterBackendTest, rowIsInPlaceBeforeAnyPdfAppears)
{
    for (const PdfStaging staging : {PdfStaging::Unnamed, PdfStaging::HiddenName}) {
        const std::string what = staging == PdfStaging::Unnamed ? "unnamed" : "hidden name";
        useFreshRoot();
        useStaging(staging);
        ASSERT_TRUE(QDir().mkpath(pdfFolder()));
        ASSERT_TRUE(QDir().mkpath(databaseFolder()));
        FolderEvents events({pdfFolder(), databaseFolder()});
        ProbeDevice data(kPdf, [this] { return observe(); });

        ASSERT_EQ(run(jobArguments(8, ""), data).status, CUPS_BACKEND_OK) << what;

        // Nothing the monitor would take for a job until the whole file is there.
        ASSERT_GT(data.observations.size(), 2) << what;
        for (const ProbeDevice::Observation &pdfNames : std::as_const(data.observations))
            EXPECT_TRUE(pdfNames.isEmpty()) << what << pdfNames.join(' ').toStdString();
        // The kernel reports the changes of both folders in the order they happened: the job
        // table is written and closed before the PDF gets its job name, and not touched after.
        const QList<FolderEvents::Event> seen = events.take();
        const auto published = std::find_if(seen.cbegin(), seen.cend(), [&](const auto &event) {
            return event.folder == pdfFolder() && event.name == QLatin1String("8.pdf") &&
                   (event.mask & IN_CREATE);
        });
        ASSERT_NE(published, seen.cend()) << what;
        const auto inDatabase = [&](const FolderEvents::Event &event) {
            return event.folder == databaseFolder();
        };
        EXPECT_TRUE(std::any_of(seen.cbegin(), published, inDatabase)) << what;
        EXPECT_TRUE(std::none_of(published, seen.cend(), inDatabase)) << what;
        EXPECT_EQ(TestSupport::readFile(pdfPath(8)), kPdf) << what;
        EXPECT_EQ(entriesOf(pdfFolder()), QStringList{QStringLiteral("8.pdf")}) << what;
        EXPECT_TRUE(row(8).has_value()) << what;
    }
}

TEST_F(PrinterBackendTest, pdfFailureIsReportedBeforeAnyRowIsWritten)
{
    ASSERT_TRUE(QDir().mkpath(root()));
    // Root ignores modes, so a file where the folder belongs is what makes the write fail.
    ASSERT_TRUE(TestSupport::writeFile(pdfFolder(), "not a folder"));

    const BackendOutcome outcome = run(jobArguments(9, ""), kPdf);

    EXPECT_EQ(outcome.status, CUPS_BACKEND_FAILED);
    EXPECT_TRUE(outcome.messages.startsWith("ERROR: ")) << outcome.messages.constData();
    EXPECT_TRUE(outcome.messages.contains(QFile::encodeName(pdfFolder())));
    EXPECT_FALSE(row(9).has_value());
}

TEST_F(PrinterBackendTest, databaseFailureIsReportedAndNoPdfIsLeft)
{
    ASSERT_TRUE(QDir().mkpath(root()));
    // A file where the database's folder belongs.
    ASSERT_TRUE(TestSupport::writeFile(databaseFolder(), "not a folder"));

    const BackendOutcome outcome = run(jobArguments(10, ""), kPdf);

    EXPECT_EQ(outcome.status, CUPS_BACKEND_FAILED);
    EXPECT_TRUE(outcome.messages.startsWith("ERROR: ")) << outcome.messages.constData();
    // Neither the PDF nor its partial copy.
    EXPECT_TRUE(entriesOf(pdfFolder()).isEmpty()) << entriesOf(pdfFolder()).join(' ').toStdString();
}

TEST_F(PrinterBackendTest, refusesMalformedArgumentsWithoutTouchingTheSpool)
{
    const QList<QByteArrayList> cases = {
        {"1"},
        {"1", "alice", "title", "1"},
        {"1", "alice", "title", "1", "", "file", "extra"},
        {"abc", "alice", "title", "1", ""},
        {"0", "alice", "title", "1", ""},
        {"-3", "alice", "title", "1", ""},
        {"../12", "alice", "title", "1", ""},
        {"12a", "alice", "title", "1", ""},
        {"99999999999999999999", "alice", "title", "1", ""},
        {"12", "alice", "title", "0", ""},
        {"12", "alice", "title", "two", ""},
        {"12", "alice", "title", "", ""},
    };
    for (const QByteArrayList &arguments : cases) {
        const BackendOutcome outcome = run(arguments, kPdf);
        EXPECT_EQ(outcome.status, CUPS_BACKEND_FAILED) << arguments.join(' ').constData();
        EXPECT_TRUE(outcome.messages.startsWith("ERROR: ")) << arguments.join(' ').constData();
    }
    EXPECT_TRUE(entriesOf(root()).isEmpty()) << entriesOf(root()).join(' ').toStdString();
}

TEST_F(PrinterBackendTest, missingJobFileFailsBeforeAnyRowIsWritten)
{
    const BackendOutcome outcome =
        run(jobArguments(11, "") << QFile::encodeName(root() + QStringLiteral("/gone")));

    EXPECT_EQ(outcome.status, CUPS_BACKEND_FAILED);
    EXPECT_TRUE(outcome.messages.startsWith("ERROR: ")) << outcome.messages.constData();
    EXPECT_FALSE(QFile::exists(databasePath()));
}

TEST_F(PrinterBackendTest, cancelledJobLeavesNothingInTheSpoolFolder)
{
    bool cancelled = false;
    ProbeDevice data(kPdf, [this] { return observe(); });
    data.afterFirstPiece = [&] { cancelled = true; };

    const BackendOutcome outcome = run(jobArguments(13, ""), data, [&] { return cancelled; });

    // CUPS keeps the state of a job it cancelled whatever the status; a job that nothing was
    // handed over for must never count as printed.
    EXPECT_EQ(outcome.status, CUPS_BACKEND_FAILED);
    EXPECT_TRUE(outcome.messages.startsWith("INFO: ")) << outcome.messages.constData();
    EXPECT_TRUE(entriesOf(pdfFolder()).isEmpty()) << entriesOf(pdfFolder()).join(' ').toStdString();
    EXPECT_FALSE(row(13).has_value());
}

TEST_F(PrinterBackendTest, cancelAfterTheLastByteLeavesNothingUntilThePdfIsPublished)
{
    // The cancel comes at the n-th check after the data has all been read: while the copy ends,
    // while the PDF is checked, once the row is written, ... until the job is handed over.
    constexpr int kMostChecks = 16;
    int publishedAt = 0;
    for (int n = 1; n <= kMostChecks && !publishedAt; ++n) {
        useFreshRoot();
        QBuffer data;
        data.setData(kPdf);
        data.open(QIODevice::ReadOnly);
        int checks = 0;
        const BackendOutcome outcome =
            run(jobArguments(16, ""), data, [&] { return data.atEnd() && ++checks >= n; });
        if (outcome.status == CUPS_BACKEND_OK) {
            publishedAt = n;
            break;
        }
        EXPECT_EQ(outcome.status, CUPS_BACKEND_FAILED) << n;
        EXPECT_TRUE(outcome.messages.startsWith("INFO: ")) << n << outcome.messages.constData();
        EXPECT_TRUE(entriesOf(pdfFolder()).isEmpty())
            << n << entriesOf(pdfFolder()).join(' ').toStdString();
        EXPECT_FALSE(row(16).has_value()) << n;
    }
    // Once published the job is the monitor's, whole and with its row.
    ASSERT_GT(publishedAt, 1);
    EXPECT_EQ(TestSupport::readFile(pdfPath(16)), kPdf);
    EXPECT_TRUE(row(16).has_value());
}

TEST_F(PrinterBackendTest, readErrorFailsAndLeavesNothingInTheSpoolFolder)
{
    ProbeDevice data(kPdf, [this] { return observe(); });
    data.failAfterPieces = 2;

    const BackendOutcome outcome = run(jobArguments(14, ""), data);

    EXPECT_EQ(outcome.status, CUPS_BACKEND_FAILED);
    EXPECT_TRUE(outcome.messages.contains("device gone")) << outcome.messages.constData();
    EXPECT_TRUE(entriesOf(pdfFolder()).isEmpty()) << entriesOf(pdfFolder()).join(' ').toStdString();
    EXPECT_FALSE(row(14).has_value());
}

TEST_F(PrinterBackendTest, reusedJobIdReplacesTheStaleRowAndPdf)
{
    ASSERT_EQ(run(jobArguments(15, "media=A3", "old"), "%PDF-1.3\nold\n%%EOF\n").status,
              CUPS_BACKEND_OK);
    {
        SQLite::Database database(QFile::encodeName(databasePath()).constData(),
                                  SQLite::OPEN_READWRITE);
        database.exec("UPDATE t_job SET pages='3', totalPages='6', isUploaded=1 WHERE job_id=15");
    }

    ASSERT_EQ(run(jobArguments(15, "media=A5", "new"), kPdf).status, CUPS_BACKEND_OK);

    const auto columns = row(15);
    EXPECT_EQ(columns->value("pageType").toString(), QStringLiteral("A5"));
    EXPECT_EQ(columns->value("fileName").toString(), Base64::encode(QStringLiteral("new")));
    EXPECT_TRUE(columns->value("pages").isNull());
    EXPECT_TRUE(columns->value("totalPages").isNull());
    EXPECT_EQ(columns->value("isUploaded").toLongLong(), 0);
    EXPECT_EQ(TestSupport::readFile(pdfPath(15)), kPdf);
    // The backend's own stale PDF is not kept beside it.
    EXPECT_EQ(entriesOf(pdfFolder()), QStringList{QStringLiteral("15.pdf")});
}

TEST_F(PrinterBackendTest, monitorReadsTheRowFromATableOfItsOwnLayout)
{
    const QByteArray options = "sides=two-sided-short-edge media=iso_a3_297x420mm ColorModel=RGB "
                               "landscape job-uuid=urn:uuid:1b4e28ba-2fa1-11d2-883f-0016d3cca427";
    ASSERT_EQ(run(jobArguments(77, options, "季度.pdf", "3"), kPdf).status, CUPS_BACKEND_OK);

    // The layout the monitor would create itself, column for column.
    QTemporaryDir monitorFolder;
    DataBaseHelper monitorDatabase(monitorFolder.path());
    ASSERT_TRUE(DBBusiness::initWithTable(monitorDatabase));
    const auto layoutOf = [](const QString &path) {
        SQLite::Database database(QFile::encodeName(path).constData(), SQLite::OPEN_READONLY);
        SQLite::Statement info(database, "PRAGMA table_info(t_job)");
        QStringList columns;
        while (info.executeStep()) {
            columns.append(QStringLiteral("%1 %2 %3 %4 %5")
                               .arg(info.getColumn(1).getText(), info.getColumn(2).getText())
                               .arg(info.getColumn(3).getInt())
                               .arg(info.getColumn(4).getText())
                               .arg(info.getColumn(5).getInt()));
        }
        return columns;
    };
    const QStringList backendLayout = layoutOf(databasePath());
    EXPECT_EQ(backendLayout.size(), 11);
    EXPECT_EQ(backendLayout, layoutOf(monitorDatabase.dbPath()));

    DataBaseHelper reader(databaseFolder());
    const std::optional<DBJob> job = DBBusiness::getJobWithJobId(QStringLiteral("77"), reader);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->job_id, 77);
    EXPECT_EQ(Base64::dencode(job->fileName), QStringLiteral("季度.pdf"));
    EXPECT_EQ(job->copies, QStringLiteral("3"));
    EXPECT_EQ(job->orientation, QStringLiteral("2"));
    EXPECT_EQ(job->duplex, QStringLiteral("3"));
    EXPECT_EQ(job->color, QStringLiteral("2"));
    EXPECT_EQ(job->paperSize, QStringLiteral("8"));
    EXPECT_EQ(job->pageType, QStringLiteral("A3"));
    EXPECT_TRUE(job->pages.isNull());
    EXPECT_TRUE(job->totalPages.isNull());
}

} // namespace
