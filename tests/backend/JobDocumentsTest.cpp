// The backend as CUPS runs it, with the documents of a job back to back on its input: several
// documents are published as one PDF with every page in order and one row; one document is
// published byte for byte as it came; a job with a document that is not a whole PDF is refused
// whole and leaves nothing behind.

#include "BackendFixture.h"
#include "TestPdfs.h"

#include "support/TestSupport.h"

#include <cups/backend.h>

#include <functional>
#include <string>

namespace {

constexpr qint64 kJobId = 31;
const QByteArray kTwoNamed = "document-name-supplied=a.pdf document-name-supplied=b.pdf";
const QByteArray kOneNamed = "document-name-supplied=a.pdf";

class JobDocumentsTest : public BackendFixture
{};

TEST_F(JobDocumentsTest, publishesTheDocumentsOfAJobAsOnePdfWithEveryPage)
{
    const QByteArray first = TestPdfs::make("First", 2);
    const QByteArray second = TestPdfs::make("Second", 3, {.objectStreams = true});

    const BackendOutcome outcome = run(jobArguments(kJobId, kTwoNamed), first + second);

    ASSERT_EQ(outcome.status, CUPS_BACKEND_OK) << outcome.messages.constData();
    EXPECT_EQ(TestPdfs::pageContents(TestSupport::readFile(pdfPath(kJobId))),
              TestPdfs::pageContents(first) + TestPdfs::pageContents(second));
    EXPECT_EQ(folderEntries(pdfFolder()), QStringList{QStringLiteral("31.pdf")});
    EXPECT_TRUE(row(kJobId));
}

struct SingleCase
{
    std::string what;
    QByteArray pdf;
};

TEST_F(JobDocumentsTest, publishesAJobOfOneDocumentAsItCame)
{
    const QByteArray first = TestPdfs::make("First", 2);
    const QByteArray second = TestPdfs::make("Second", 1);
    const QList<SingleCase> cases = {
        {"a plain PDF", first},
        {"a PDF with two PDFs attached",
         TestPdfs::make("Carrier", 1, {.attachment = first + second})},
        {"an incremental update that starts with a header",
         TestPdfs::withUpdateStartingWithHeader(first)},
        {"a linearized PDF", TestPdfs::make("Linearized", 2, {.linearized = true})},
    };
    for (const SingleCase &single : cases) {
        SCOPED_TRACE(single.what);
        useFreshRoot();
        const BackendOutcome outcome = run(jobArguments(kJobId, kOneNamed), single.pdf);
        ASSERT_EQ(outcome.status, CUPS_BACKEND_OK) << outcome.messages.constData();
        EXPECT_EQ(TestSupport::readFile(pdfPath(kJobId)), single.pdf);
    }
}

TEST_F(JobDocumentsTest, refusesAJobWithADocumentThatIsNotAWholePdfAndLeavesNothing)
{
    const QByteArray pdf = TestPdfs::make("First", 1);

    const BackendOutcome outcome = run(jobArguments(kJobId, kTwoNamed), pdf + "a raw text file\n");

    EXPECT_EQ(outcome.status, CUPS_BACKEND_CANCEL);
    EXPECT_TRUE(outcome.messages.startsWith("ERROR: ")) << outcome.messages.constData();
    EXPECT_TRUE(outcome.messages.contains("not a whole PDF")) << outcome.messages.constData();
    EXPECT_EQ(folderEntries(pdfFolder()), QStringList());
    EXPECT_FALSE(row(kJobId));
}

constexpr qint64 kMebibyte = 1024 * 1024;

QByteArray repeated(const QByteArray &piece, qint64 totalSize)
{
    return piece.repeated(totalSize / piece.size());
}

QByteArray namingDocuments(int count)
{
    QByteArrayList options;
    for (int i = 1; i <= count; ++i)
        options << "document-name-supplied=doc" + QByteArray::number(i) + ".pdf";
    return options.join(' ');
}

QByteArrayList pagesOf(const QByteArrayList &documents)
{
    QByteArrayList pages;
    for (const QByteArray &document : documents)
        pages += TestPdfs::pageContents(document);
    return pages;
}

// What a user may send with lp -o raw, as many files as he likes: each job is published with every
// page it holds, or refused with its reason, and leaves nothing behind then.
struct HostileCase
{
    std::string what;
    std::function<QByteArray()> job;
    int namedDocuments;
    // What the published PDF's pages show, in order; nothing: refused.
    std::function<QByteArrayList()> pages;
    // A text the refusal gives.
    QByteArray reason = {};
};

TEST_F(JobDocumentsTest, decidesEveryHostileJobWhole)
{
    const QByteArray pdf = TestPdfs::make("First", 1);
    const QByteArray second = TestPdfs::make("Second", 2);
    const TestPdfs::Shape streams{.objectStreams = true};
    // Y's startxref, counted from the file's first byte, lands one byte into X's xref stream.
    const QByteArray x = TestPdfs::make("XX", 1, streams);
    const auto yAfterX = [&] {
        for (QByteArray comment = "%"; comment.size() < 16; comment += 'y') {
            TestPdfs::Shape shape = streams;
            shape.headerComment = comment;
            const QByteArray y = TestPdfs::make("Y", 1, shape);
            if (TestPdfs::startXrefOf(y) == TestPdfs::startXrefOf(x) + 1)
                return y;
        }
        ADD_FAILURE() << "no Y whose xref lies one byte after X's, at " << TestPdfs::startXrefOf(x);
        return QByteArray();
    };
    // X's startxref on the line end just before its xref stream.
    const auto xPointingAtBlank = [&] {
        const qint64 section = TestPdfs::startXrefOf(x);
        EXPECT_EQ(x.at(section - 1), '\n');
        QByteArray moved = x;
        const qsizetype keyword = moved.lastIndexOf("startxref");
        return moved.left(keyword) + "startxref\n" + QByteArray::number(section - 1) + "\n%%EOF\n";
    };
    const QByteArray tiny = TestPdfs::handMade(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"});
    const QByteArray longLength = TestPdfs::handMade(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R >>",
         "<< /Length 9223372036854775807 >>\nstream\nBT /F1 24 Tf 72 720 Td (Long page 1) Tj "
         "ET\nendstream"});
    const auto refused = [] { return QByteArrayList(); };

    const QList<HostileCase> cases = {
        {"a PDF, then one whose page tree is 30,000 levels deep",
         [&] { return pdf + TestPdfs::withPageTreeDepth(30000); }, 2, refused, "levels deep"},
        {"a PDF, a line of text, the PDF again", [&] { return pdf + "a line of text\n" + pdf; }, 3,
         refused, "not a whole PDF"},
        {"a PDF, 2000 NUL bytes, the PDF again", [&] { return pdf + QByteArray(2000, '\0') + pdf; },
         2,
         [&] {
             return pagesOf({pdf, pdf});
         }},
        {"X and Y with object streams, Y's offset counted from the start hitting X's xref",
         [&] { return x + yAfterX(); }, 2,
         [&] {
             return pagesOf({x, yAfterX()});
         }},
        {"X with its startxref on the line end before its xref stream, then another PDF",
         [&] { return xPointingAtBlank() + second; }, 2,
         [&] {
             return pagesOf({xPointingAtBlank(), second});
         }},
        {"2000 small PDFs, a broken header and 10 MB of NUL bytes",
         [&] { return pdf.repeated(2000) + "%PDF-broken" + QByteArray(10 * kMebibyte, '\0'); }, 0,
         refused, "documents"},
        {"50 MB of end markers and headers",
         [&] { return "%PDF-1.4\n" + repeated("%%EOF\n%PDF-1.4\n", 50 * kMebibyte); }, 0, refused,
         "end marker"},
        {"100,000 tiny PDFs", [&] { return tiny.repeated(100000); }, 0, refused, "documents"},
        {"a stream whose length is the largest offset there is, then a PDF",
         [&] { return longLength + second; }, 2,
         [&] {
             return QByteArrayList{"BT /F1 24 Tf 72 720 Td (Long page 1) Tj ET"} +
                    pagesOf({second});
         }},
    };
    for (const HostileCase &hostile : cases) {
        SCOPED_TRACE(hostile.what);
        useFreshRoot();
        const QByteArray job = hostile.job();
        const BackendOutcome outcome =
            run(jobArguments(kJobId, namingDocuments(hostile.namedDocuments)), job);
        const QByteArrayList pages = hostile.pages();
        if (pages.isEmpty()) {
            EXPECT_EQ(outcome.status, CUPS_BACKEND_CANCEL) << outcome.messages.constData();
            EXPECT_TRUE(outcome.messages.startsWith("ERROR: ")) << outcome.messages.constData();
            EXPECT_TRUE(outcome.messages.contains(hostile.reason)) << outcome.messages.constData();
            EXPECT_EQ(folderEntries(pdfFolder()), QStringList());
            EXPECT_FALSE(row(kJobId));
            continue;
        }
        ASSERT_EQ(outcome.status, CUPS_BACKEND_OK) << outcome.messages.constData();
        EXPECT_EQ(TestPdfs::pageContents(TestSupport::readFile(pdfPath(kJobId))), pages);
    }
}

} // namespace
