// The backend as CUPS runs it, with the documents of a job back to back on its input: several
// documents are published as one PDF with every page in order and one row; one document is
// published byte for byte as it came; a job with a document that is not a whole PDF is refused
// whole and leaves nothing behind.

#include "BackendFixture.h"
#include "TestPdfs.h"

#include "support/TestSupport.h"

#include <cups/backend.h>

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

} // namespace
