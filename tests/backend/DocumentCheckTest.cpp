// What the backend lets through to the monitor: only a PDF the monitor's own completeness rule
// takes, mended where only blanks follow its end marker. Any other document fails its own job
// with its reason and leaves neither file nor row behind.

#include "BackendFixture.h"
#include "TestPdfs.h"

#include "backend/CompletePdfCheck.h"
#include "foundation/SharedFolderFiles.h"
#include "monitor/MonitorFileManager.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cups/backend.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kBlock = CompletePdfCheck::kBlockSize;

// A PDF up to where its end marker belongs.
const QByteArray kBody = "%PDF-1.7\n1 0 obj\n<< /Type /Catalog >>\nendobj\ntrailer\n"
                         "<< /Root 1 0 R >>\nstartxref\n9\n";
// An incremental update after the first end marker.
const QByteArray kUpdated =
    kBody + "%%EOF\n2 0 obj\n<< >>\nendobj\ntrailer\n<< /Prev 9 >>\nstartxref\n72\n";

QByteArray blanks(qint64 count, char blank = ' ')
{
    return QByteArray(count, blank);
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

struct PublishCase
{
    std::string what;
    QByteArray data;
    QByteArray published;
};

struct RefusalCase
{
    std::string what;
    QByteArray data;
    QByteArray reason;
};

constexpr auto kNotPdf = "the document is not a PDF";
constexpr auto kNoMarker = "the PDF is incomplete: no end marker";
constexpr auto kDataAfterMarker = "the PDF does not end at its end marker: other data follows";

class DocumentCheckTest : public BackendFixture
{};

TEST_F(DocumentCheckTest, publishesWhatTheMonitorTakesAndCutsOnlyABlankTail)
{
    QList<PublishCase> cases = {
        // Already complete for the monitor: left byte for byte.
        {"line feed after the marker", kBody + "%%EOF\n", kBody + "%%EOF\n"},
        {"marker at the very end", kBody + "%%EOF", kBody + "%%EOF"},
        {"CR LF after the marker", kBody + "%%EOF\r\n", kBody + "%%EOF\r\n"},
        {"blanks within the monitor's tail", kBody + "%%EOF \n", kBody + "%%EOF \n"},
        {"incremental update", kUpdated + "%%EOF\n", kUpdated + "%%EOF\n"},
        {"larger than a block", kBody + blanks(2 * kBlock + 5, 'x') + "\n%%EOF\n",
         kBody + blanks(2 * kBlock + 5, 'x') + "\n%%EOF\n"},
        // Only blanks after the marker: cut after the marker and one line end.
        {"blank lines after the marker", kBody + "%%EOF\n   \n\t \f\n", kBody + "%%EOF\n"},
        {"CR LF then blank lines", kBody + "%%EOF\r\n\r\n   \n", kBody + "%%EOF\r\n"},
        {"CR then blanks", kBody + "%%EOF\r   \r\r", kBody + "%%EOF\r"},
        {"LF then CR LF", kBody + "%%EOF\n\r\n", kBody + "%%EOF\n"},
        {"NUL padding", kBody + "%%EOF\n" + blanks(300, '\0'), kBody + "%%EOF\n"},
        {"blanks without a line end", kBody + "%%EOF" + blanks(8), kBody + "%%EOF"},
        {"the last of two markers", kUpdated + "%%EOF\n\n\n\n", kUpdated + "%%EOF\n"},
        {"blank tail of several blocks", kBody + "%%EOF\n" + blanks(3 * kBlock + 17, '\0'),
         kBody + "%%EOF\n"},
        {"larger than a block with a blank tail",
         kBody + blanks(2 * kBlock, 'x') + "\n%%EOF\n" + blanks(kBlock / 2),
         kBody + blanks(2 * kBlock, 'x') + "\n%%EOF\n"},
    };
    // The marker's last bytes on either side of the first block read from the end.
    for (const qint64 tail : {kBlock - 3, kBlock - 1, kBlock, kBlock + 1, kBlock + 4}) {
        cases.append({"blank tail of " + std::to_string(tail) + " bytes",
                      kBody + "%%EOF" + blanks(tail, '\n'), kBody + "%%EOF\n"});
    }

    qint64 jobId = 100;
    for (const PublishCase &job : std::as_const(cases)) {
        useFreshRoot();
        ++jobId;

        const BackendOutcome outcome = run(jobArguments(jobId, ""), job.data);

        ASSERT_EQ(outcome.status, CUPS_BACKEND_OK) << job.what << outcome.messages.constData();
        EXPECT_EQ(outcome.messages, QByteArray("INFO: job %1 handed to the monitor\n")
                                        .replace("%1", QByteArray::number(jobId)))
            << job.what;
        EXPECT_EQ(TestSupport::readFile(pdfPath(jobId)), job.published) << job.what;
        const Result<FileDescriptor> published = SharedFolderFiles::openFolder(pdfFolder());
        ASSERT_TRUE(published) << job.what;
        EXPECT_TRUE(
            MonitorFileManager::readFileEOF(published->get(), QStringLiteral("%1.pdf").arg(jobId)))
            << job.what;
        EXPECT_EQ(entriesOf(pdfFolder()), QStringList{QStringLiteral("%1.pdf").arg(jobId)})
            << job.what;
        EXPECT_TRUE(row(jobId).has_value()) << job.what;
    }
}

TEST_F(DocumentCheckTest, refusesWhatTheMonitorWouldDropAndLeavesNothing)
{
    const QList<RefusalCase> cases = {
        {"empty job", "", "the document is empty"},
        {"plain text", "Quarterly figures\nQ3: 12%\n", kNotPdf},
        {"text ending in a marker", "notes\n%%EOF\n", kNotPdf},
        {"shorter than the header", "%PD", kNotPdf},
        {"header after other bytes", "\n" + kBody + "%%EOF\n", kNotPdf},
        {"header alone", "%PDF-", kNoMarker},
        {"cut short", kBody, kNoMarker},
        {"cut short, then blanks", kBody + "\n\n   " + blanks(kBlock, '\0'), kNoMarker},
        {"cut short across blocks", kBody + blanks(3 * kBlock, 'x'), kNoMarker},
        {"other bytes after the marker", kBody + "%%EOF\ntrailing garbage\n", kDataAfterMarker},
        {"other bytes after a blank tail", kBody + "%%EOF\n" + blanks(100) + "x", kDataAfterMarker},
        {"update cut short after the first marker", kUpdated, kDataAfterMarker},
        // Found although it lies across two blocks of the search.
        {"marker across a block boundary", kBody + "%%EOF" + blanks(kBlock - 3, 'x'),
         kDataAfterMarker},
        // The monitor reads its tail as UTF-8 text.
        {"no text before the marker", kBody + "\xe4\xb8\xad%%EOF\n",
         "the bytes before the PDF's end marker are not text"},
        {"no text before the marker, blanks after", kBody + "\xe4\xb8\xad%%EOF   ",
         "the bytes before the PDF's end marker are not text"},
    };

    qint64 jobId = 200;
    for (const RefusalCase &job : cases) {
        useFreshRoot();
        ++jobId;

        const BackendOutcome outcome = run(jobArguments(jobId, ""), job.data);

        // CUPS cancels this job alone: a bad document is no broken device.
        EXPECT_EQ(outcome.status, CUPS_BACKEND_CANCEL) << job.what;
        EXPECT_EQ(outcome.messages, "ERROR: " + job.reason + "\n") << job.what;
        EXPECT_TRUE(entriesOf(pdfFolder()).isEmpty())
            << job.what << ": " << entriesOf(pdfFolder()).join(' ').toStdString();
        EXPECT_FALSE(row(jobId).has_value()) << job.what;
    }
}

// The check on its own, on files far larger than any table case: the ends of a sparse file beyond
// 4 GiB, where an offset held in 32 bits would read the wrong bytes.
class LargeFileCheckTest : public ::testing::Test
{
protected:
    static constexpr qint64 kHoleEnd = (qint64(5) << 30) + 3;

    // A file with the PDF header, a hole, and the end at kHoleEnd; open for reading and writing.
    int makeFile(const QByteArray &end)
    {
        m_file.reset(
            ::open(QFile::encodeName(m_folder.filePath(QStringLiteral("large"))).constData(),
                   O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        const QByteArray head = kBody.left(9);
        EXPECT_EQ(::pwrite(m_file.get(), head.constData(), size_t(head.size()), 0), head.size());
        EXPECT_EQ(::pwrite(m_file.get(), end.constData(), size_t(end.size()), kHoleEnd),
                  end.size());
        return m_file.get();
    }

    qint64 sizeOf(int descriptor) const
    {
        struct stat status = {};
        return ::fstat(descriptor, &status) == 0 ? qint64(status.st_size) : -1;
    }

    QByteArray endOf(int descriptor, qint64 length) const
    {
        QByteArray bytes(length, '?');
        const qint64 read =
            ::pread(descriptor, bytes.data(), size_t(length), sizeOf(descriptor) - length);
        return bytes.left(read);
    }

private:
    QTemporaryDir m_folder;
    FileDescriptor m_file;
};

TEST_F(LargeFileCheckTest, readsAndCutsTheEndsOfAFileBeyondFourGigabytes)
{
    const int complete = makeFile("\n%%EOF\n");
    EXPECT_TRUE(CompletePdfCheck::check(complete, TestPdfs::kNotCancelled).ok());
    EXPECT_EQ(sizeOf(complete), kHoleEnd + 7);

    const int padded = makeFile("\n%%EOF\r\n" + blanks(kBlock + 10) + blanks(kBlock, '\0'));
    EXPECT_TRUE(CompletePdfCheck::check(padded, TestPdfs::kNotCancelled).ok());
    EXPECT_EQ(sizeOf(padded), kHoleEnd + 8);
    EXPECT_EQ(endOf(padded, 8), "\n%%EOF\r\n");

    const int garbled = makeFile("\n%%EOF\nmore\n");
    const Result<Done> refused = CompletePdfCheck::check(garbled, TestPdfs::kNotCancelled);
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(CompletePdfCheck::isRefusal(refused.error()));
    EXPECT_EQ(refused.error().description, QLatin1String(kDataAfterMarker));
    EXPECT_EQ(sizeOf(garbled), kHoleEnd + 12);
}

TEST(CompletePdfCheckTest, aFileThatCannotBeReadIsNoRefusalOfTheDocument)
{
    // A descriptor open for writing only cannot be read back: a fault of the spool, which CUPS
    // must not take for a bad document.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("job"));
    ASSERT_TRUE(TestSupport::writeFile(path, kBody + "%%EOF\n"));
    const FileDescriptor writeOnly(
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(writeOnly.valid());

    const Result<Done> checked = CompletePdfCheck::check(writeOnly.get(), TestPdfs::kNotCancelled);

    ASSERT_FALSE(checked.ok());
    EXPECT_FALSE(CompletePdfCheck::isRefusal(checked.error()));
    EXPECT_EQ(checked.error().code, EBADF);
}

} // namespace
