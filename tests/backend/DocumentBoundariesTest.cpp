// Where each document of a job's file begins: CUPS hands the backend a job's documents back to
// back. A boundary is taken only where both sides hold as PDFs of their own, so that a single PDF
// that holds an end marker and a header in its own bytes is never cut, and a document that is not
// a whole PDF refuses the job instead of vanishing.

#include "TestPdfs.h"

#include "backend/CompletePdfCheck.h"
#include "backend/DescriptorBytes.h"
#include "backend/DocumentBoundaries.h"
#include "backend/NamedDocumentCount.h"

#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <string>

namespace {

const QByteArray kFirst = TestPdfs::make("First", 2);
const QByteArray kSecond = TestPdfs::make("Second", 3);

// The job's file as the backend holds it: a file read through its descriptor.
Result<QList<DocumentRange>> boundariesOf(const QByteArray &job, int namedDocuments)
{
    QTemporaryFile file;
    if (!file.open() || file.write(job) != job.size() || !file.flush())
        return Error{QStringLiteral("test"), 1, QStringLiteral("cannot write the job file")};
    return DocumentBoundaries::find(file.handle(), namedDocuments, TestPdfs::kNotCancelled);
}

// The pages of each document the boundaries give; the documents must cover the file in order.
QList<QByteArrayList> documentsOf(const QByteArray &job, const QList<DocumentRange> &ranges)
{
    QList<QByteArrayList> documents;
    qint64 next = 0;
    for (const DocumentRange &range : ranges) {
        EXPECT_EQ(range.start, next) << "documents leave a gap or overlap";
        documents << TestPdfs::pageContents(job.mid(range.start, range.length()));
        next = range.end;
    }
    EXPECT_EQ(next, job.size()) << "the documents do not reach the end of the file";
    return documents;
}

// A PDF that ends this many bytes before the header of a document after it straddles two of the
// blocks the file is read in.
QByteArray pdfEndingBeforeBlockEnd(qint64 gap)
{
    constexpr qint64 kProbeAttachment = 1000;
    const qint64 probeSize =
        TestPdfs::make("Large", 1, {.attachment = QByteArray(kProbeAttachment, 'x')}).size();
    // The scan reads from the second byte, so its first block ends a byte later.
    const qint64 headerAt = DescriptorBytes::kBlockSize - 1;
    const QByteArray attachment(kProbeAttachment + headerAt - gap - probeSize, 'x');
    return TestPdfs::make("Large", 1, {.attachment = attachment});
}

struct SplitCase
{
    std::string what;
    QByteArrayList documents;
    int namedDocuments;
    // Between the documents.
    QByteArray gap = {};
};

TEST(DocumentBoundariesTest, findsEveryDocumentOfAJob)
{
    const QByteArray large = pdfEndingBeforeBlockEnd(1);
    const QList<SplitCase> cases = {
        {"two PDFs, named", {kFirst, kSecond}, 2},
        {"two PDFs, no names", {kFirst, kSecond}, 0},
        {"two copies of one PDF, named", {kFirst, kFirst}, 2},
        {"two copies of one PDF, no names", {kFirst, kFirst}, 0},
        {"cross-reference streams, then a linearized PDF",
         {TestPdfs::make("Streams", 2, {.objectStreams = true}),
          TestPdfs::make("Linearized", 3, {.linearized = true})},
         2},
        {"a linearized PDF first",
         {TestPdfs::make("Linearized", 2, {.linearized = true}), kSecond},
         2},
        {"line ends and NUL padding between",
         {kFirst, kSecond},
         2,
         "\r\n" + QByteArray(300, '\0') + "\n"},
        // Its end marker and header lie within the first's trailer's reach.
        {"a PDF, then one with an end marker and a header attached near its start",
         {kFirst, TestPdfs::make("Carrier", 1, {.attachment = "%%EOF\n%PDF-1.4\n"})},
         2},
        {"an attached PDF in the middle document",
         {kFirst, TestPdfs::make("Carrier", 1, {.attachment = kSecond + kFirst}), kSecond},
         3},
        {"a header across two read blocks", {large, kSecond}, 2, "\n"},
        // pdftopdf writes nothing for a document without pages in the range printed.
        {"fewer documents than named, each whole", {kFirst, kSecond}, 3},
        {"an update that starts with a header, then another PDF",
         {TestPdfs::withUpdateStartingWithHeader(kFirst), kSecond},
         2},
    };
    for (const SplitCase &split : cases) {
        SCOPED_TRACE(split.what);
        QList<QByteArrayList> expected;
        for (const QByteArray &document : split.documents)
            expected << TestPdfs::pageContents(document);
        const QByteArray job = split.documents.join(split.gap);
        const Result<QList<DocumentRange>> found = boundariesOf(job, split.namedDocuments);
        ASSERT_TRUE(found) << found.error().description.toStdString();
        EXPECT_EQ(documentsOf(job, found.value()), expected);
    }
}

struct WholeCase
{
    std::string what;
    QByteArray file;
    int namedDocuments = 1;
};

// A single PDF that a byte pattern alone would cut, kept as it came.
TEST(DocumentBoundariesTest, neverCutsOneDocument)
{
    const QList<WholeCase> cases = {
        {"a plain PDF", kFirst},
        {"an attached PDF that holds two PDFs back to back",
         TestPdfs::make("Carrier", 2, {.attachment = kFirst + "\n" + kSecond})},
        {"an attached PDF, nothing named",
         TestPdfs::make("Carrier", 2, {.attachment = kFirst + "\n" + kSecond}), 0},
        {"an incremental update that starts with a header",
         TestPdfs::withUpdateStartingWithHeader(kFirst)},
        {"a linearized PDF", TestPdfs::make("Linearized", 3, {.linearized = true})},
        {"two copies of one PDF, one named", kFirst + kFirst, 1},
        {"a blank tail", kFirst + "\n \n" + QByteArray(100, '\0')},
        {"not a PDF at all", "plain text\n"},
        {"not a PDF, several named", "plain text\n", 2},
        {"one whole PDF of two named", kFirst, 2},
        {"empty", {}},
    };
    for (const WholeCase &whole : cases) {
        SCOPED_TRACE(whole.what);
        const Result<QList<DocumentRange>> found = boundariesOf(whole.file, whole.namedDocuments);
        ASSERT_TRUE(found) << found.error().description.toStdString();
        EXPECT_EQ(found.value(), (QList<DocumentRange>{DocumentRange{0, whole.file.size()}}));
    }
}

struct RefusalCase
{
    std::string what;
    QByteArray job;
    int namedDocuments;
};

// One document of the job is not a whole PDF: refused rather than published without it.
TEST(DocumentBoundariesTest, refusesAJobWithADocumentThatIsNotAWholePdf)
{
    const QList<RefusalCase> cases = {
        {"a text file between two PDFs", kFirst + "plain text\n" + kSecond, 3},
        {"a PDF, then a text file", kFirst + "plain text\n", 2},
        {"the second PDF ends too early", kFirst + kSecond.left(kSecond.size() / 2), 2},
        {"the first PDF ends too early", kFirst.left(kFirst.size() - 40) + kSecond, 2},
    };
    for (const RefusalCase &refusal : cases) {
        SCOPED_TRACE(refusal.what);
        const Result<QList<DocumentRange>> found =
            boundariesOf(refusal.job, refusal.namedDocuments);
        ASSERT_FALSE(found);
        EXPECT_TRUE(CompletePdfCheck::isRefusal(found.error()));
        EXPECT_TRUE(found.error().description.contains(QStringLiteral("not a whole PDF")))
            << found.error().description.toStdString();
    }
}

struct RecordedCase
{
    const char *file;
    QList<qsizetype> pagesOfEachDocument;
};

// Job files as a CUPS with Debian's filters handed them to a recording backend. The options name
// the documents printed; a banner page is a document without a name.
TEST(DocumentBoundariesTest, findsTheDocumentsCupsSends)
{
    const RecordedCase cases[] = {
        {"one-pdf.pdftopdf", {3}},           {"two-pdfs.pdftopdf", {1, 2}},
        {"two-raw-pdfs.raw", {1, 2}},        {"pdf-text-pdf.pdftopdf", {1, 1, 2}},
        {"banner-and-pdf.pdftopdf", {1, 2}},
    };
    for (const RecordedCase &recorded : cases) {
        SCOPED_TRACE(recorded.file);
        const QByteArray job = TestPdfs::recorded(recorded.file);
        ASSERT_FALSE(job.isEmpty());
        const QByteArray options = TestPdfs::recorded(
            (std::string(recorded.file).substr(0, std::string(recorded.file).find('.')) +
             ".options")
                .c_str());
        const Result<QList<DocumentRange>> found =
            boundariesOf(job, NamedDocumentCount::of(options.trimmed()));
        ASSERT_TRUE(found) << found.error().description.toStdString();
        QList<qsizetype> pages;
        for (const QByteArrayList &document : documentsOf(job, found.value()))
            pages << document.size();
        EXPECT_EQ(pages, recorded.pagesOfEachDocument);
    }
}

struct OptionCase
{
    const char *options;
    int named;
};

TEST(NamedDocumentCountTest, countsEachNamedDocument)
{
    const OptionCase cases[] = {
        {"", 0},
        {"finishings=3 number-up=1", 0},
        {"document-name-supplied=a.pdf", 1},
        {"number-up=1 document-name-supplied=a.pdf document-name-supplied=b.pdf ColorModel=Gray",
         2},
        // cupsd escapes white space and quotes in values.
        {"document-name-supplied=my\\ document-name-supplied=x.pdf", 1},
        {"document-name-supplied=\"quoted document-name-supplied=x\" document-name-supplied=b", 2},
        {"media={a document-name-supplied=x} document-name-supplied=b", 1},
        {"x-document-name-supplied=a document-name-supplied", 0},
        // A lone backslash at the end escapes nothing past the text.
        {"document-name-supplied=a.pdf document-name-supplied=b\\", 2},
        {"\\", 0},
    };
    for (const OptionCase &option : cases)
        EXPECT_EQ(NamedDocumentCount::of(option.options), option.named) << option.options;
}

} // namespace
