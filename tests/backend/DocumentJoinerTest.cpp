// Joining a job's documents into one PDF with qpdf: every page of every document in order, a file
// the monitor takes as complete and qpdf reads without a warning; a document qpdf cannot read
// refuses the job, and a target that cannot be written fails it as a system error.

#include "TestPdfs.h"

#include "backend/CompletePdfCheck.h"
#include "backend/DescriptorPipeline.h"
#include "backend/DocumentBoundaries.h"
#include "backend/DocumentJoiner.h"
#include "foundation/PdfEndRule.h"

#include <QTemporaryFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace {

class DocumentJoinerTest : public ::testing::Test
{
protected:
    // The descriptor of the job's file.
    int source(const QByteArray &job)
    {
        EXPECT_TRUE(m_source.open() && m_source.resize(0) && m_source.write(job) == job.size() &&
                    m_source.flush());
        return m_source.handle();
    }

    // Joins the documents of the job file at the ranges; the joined PDF, or the error.
    Result<QByteArray> joined(const QByteArray &job, const QList<DocumentRange> &ranges)
    {
        QTemporaryFile target;
        if (!target.open())
            return Error{QStringLiteral("test"), 1, QStringLiteral("cannot make the target")};
        const Result<Done> done =
            DocumentJoiner::join(source(job), ranges, target.handle(), TestPdfs::kNotCancelled);
        if (!done)
            return done.error();
        const Result<bool> complete = PdfEndRule::isMetBy(target.handle(), target.size());
        EXPECT_TRUE(complete && complete.value()) << "the monitor would not take the joined PDF";
        target.seek(0);
        return target.readAll();
    }

    // The job file of the documents, back to back, with the boundaries the backend finds.
    Result<QByteArray> joinedDocuments(const QByteArrayList &documents)
    {
        QList<DocumentRange> ranges;
        for (const QByteArray &document : documents) {
            const qint64 start = ranges.isEmpty() ? 0 : ranges.last().end;
            ranges << DocumentRange{start, start + document.size()};
        }
        return joined(documents.join(), ranges);
    }

    QTemporaryFile m_source;
};

TEST_F(DocumentJoinerTest, keepsEveryPageInOrder)
{
    const QByteArray first = TestPdfs::make("First", 2);
    const QByteArray second = TestPdfs::make("Second", 3, {.objectStreams = true});
    const QByteArray third = TestPdfs::make("Third", 1, {.linearized = true});
    const Result<QByteArray> result = joinedDocuments({first, second, third});
    ASSERT_TRUE(result) << result.error().description.toStdString();
    EXPECT_EQ(TestPdfs::pageContents(result.value()), TestPdfs::pageContents(first) +
                                                          TestPdfs::pageContents(second) +
                                                          TestPdfs::pageContents(third));
}

TEST_F(DocumentJoinerTest, joinsWhatCupsSends)
{
    const QByteArray job = TestPdfs::recorded("pdf-text-pdf.pdftopdf");
    const Result<QList<DocumentRange>> ranges =
        DocumentBoundaries::find(source(job), 3, TestPdfs::kNotCancelled);
    ASSERT_TRUE(ranges) << ranges.error().description.toStdString();
    ASSERT_EQ(ranges->size(), 3);
    QByteArrayList expected;
    for (const DocumentRange &range : ranges.value())
        expected += TestPdfs::pageContents(job.mid(range.start, range.length()));
    const Result<QByteArray> result = joined(job, ranges.value());
    ASSERT_TRUE(result) << result.error().description.toStdString();
    EXPECT_EQ(TestPdfs::pageContents(result.value()), expected);
}

// The page size a page inherits from its old page tree stays its own.
TEST_F(DocumentJoinerTest, keepsInheritedPageSizes)
{
    const Result<QByteArray> result = joinedDocuments(
        {TestPdfs::make("Small", 1, {.inheritedMediaBox = true}), TestPdfs::make("A4", 1)});
    ASSERT_TRUE(result) << result.error().description.toStdString();
    QPDF document;
    document.processMemoryFile("joined", result->constData(), size_t(result->size()));
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(document).getAllPages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].getMediaBox().unparseResolved(), "[ 0 0 420 595 ]");
    EXPECT_EQ(pages[1].getMediaBox().unparseResolved(), "[ 0 0 595 842 ]");
}

TEST_F(DocumentJoinerTest, refusesADocumentQpdfCannotRead)
{
    const QByteArray pdf = TestPdfs::make("First", 1);
    const QByteArray notPdf = "%PDF-1.7\nthis is no PDF\n%%EOF\n";
    const Result<QByteArray> result = joinedDocuments({pdf, notPdf});
    ASSERT_FALSE(result);
    EXPECT_TRUE(CompletePdfCheck::isRefusal(result.error()));
    EXPECT_TRUE(result.error().description.contains(QStringLiteral("document 2")))
        << result.error().description.toStdString();
}

// A full disk, both when qpdf writes a block and when it finishes the file.
TEST_F(DocumentJoinerTest, failsWhenTheTargetCannotBeWritten)
{
    const QByteArray small = TestPdfs::make("Small", 1);
    const QByteArray large = TestPdfs::make(
        "Large", 1, {.attachment = QByteArray(2 * DescriptorPipeline::kBlockSize, 'x')});
    for (const QByteArray &first : {small, large}) {
        SCOPED_TRACE(first.size());
        const QByteArray job = first + small;
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        ASSERT_GE(full, 0);
        const Result<Done> done = DocumentJoiner::join(
            source(job), {DocumentRange{0, first.size()}, DocumentRange{first.size(), job.size()}},
            full, TestPdfs::kNotCancelled);
        ::close(full);
        ASSERT_FALSE(done);
        EXPECT_FALSE(CompletePdfCheck::isRefusal(done.error()));
        EXPECT_EQ(done.error().code, ENOSPC);
    }
}

} // namespace
