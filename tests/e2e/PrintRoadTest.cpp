// A document printed with lp reaches the printing service whole: through CUPS's filters (pdftopdf
// applies the print options), the queue's backend, the monitor, the hand-off URL that GIO opens in
// the client, the client's login with the saved account, the job's registration, the FTP upload
// and the report, with the user told by notifications. A job the backend refuses ends in CUPS with
// the backend's reason, and the queue goes on. Runs the real programs; see CMakeLists.txt for
// where.

#include "RoadTest.h"

#include "ArrivalCheck.h"
#include "Polling.h"
#include "SampleDocuments.h"
#include "SamplePdf.h"
#include "Tool.h"

#include "backend/JobOptions.h"
#include "foundation/JobDatabase.h"
#include "foundation/SpoolLayout.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

// The client's English texts (its strings table for a C locale).
const QString kUploading = QStringLiteral("Uploading ...");
const QString kUploadSucceeded = QStringLiteral("Upload succeeded");
constexpr auto kClientIdleEnd = 40s;
constexpr auto kNotificationLimit = 10s;
constexpr auto kJobEndLimit = 30s;
// White space after the end marker, as some PDF writers leave it.
const QByteArray kWhitespaceTail = QByteArrayLiteral("\r\n\r\n   \n");
constexpr auto kRawOption = "raw";

// An IPP keyword attribute, which ipptool gives as a text or, with several values, an array.
QStringList keywords(const QJsonObject &attributes, const char *name)
{
    const QJsonValue value = attributes.value(QLatin1String(name));
    if (value.isArray()) {
        QStringList all;
        for (const QJsonValue &entry : value.toArray())
            all << entry.toString();
        return all;
    }
    return {value.toString()};
}

std::string dump(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

class PrintRoadTest : public RoadTest
{
protected:
    // One job of sample PDFs with these numbers of pages, printed with one lp; text: a text file
    // after the first PDF. Every page of every document must reach the service, in order.
    Print pdfs(const QString &title, const QList<int> &pages, int copies,
               const QStringList &options = {}, const QString &textAfterFirst = {})
    {
        QStringList files;
        QList<ArrivalCheck::PageTexts> expected;
        for (qsizetype i = 0; i < pages.size(); ++i) {
            const QString path = workPath(QStringLiteral("%1-%2.pdf").arg(title).arg(i + 1));
            const Result<Done> written = SamplePdf::write(path, pages.at(i));
            EXPECT_TRUE(written) << written.error().description.toStdString();
            const Result<QList<ArrivalCheck::PageTexts>> documentPages =
                ArrivalCheck::pagesOf(path);
            EXPECT_TRUE(documentPages) << documentPages.error().description.toStdString();
            files << path;
            expected << (documentPages ? documentPages.value() : QList<ArrivalCheck::PageTexts>{});
            if (i == 0 && !textAfterFirst.isNull()) {
                const QString text = workPath(title + QStringLiteral(".txt"));
                EXPECT_TRUE(SampleDocuments::writeText(text, {textAfterFirst}));
                files << text;
                // texttopdf's page, whose text pdftotext cannot read back.
                expected << ArrivalCheck::PageTexts{};
            }
        }
        Print print = printOf(files.takeFirst(), title, copies, options, expected);
        print.request.moreFiles = files;
        return print;
    }

    // The notifications once the last one has been posted.
    QStringList notificationsEndingWith(const QString &last)
    {
        TestSupport::waitUntil(
            [&] {
                const QStringList bodies = m_road.notificationBodies();
                return !bodies.isEmpty() && bodies.last() == last;
            },
            kNotificationLimit);
        return m_road.notificationBodies();
    }

    // Prints the job, which the backend refuses: CUPS cancels it with the backend's reason, nothing
    // of it reaches the monitor or the job table, and the queue takes the next job.
    void expectRefusedAndTheQueueGoesOn(QList<Print> &refused, const QString &reason)
    {
        print(refused);
        const Result<QJsonObject> ended =
            m_road.waitForJobEnd(refused.first().requestId, kJobEndLimit);
        ASSERT_TRUE(ended) << ended.error().description.toStdString();
        EXPECT_EQ(ended->value(QStringLiteral("job-state")).toInt(), PrivateCups::kJobCanceled)
            << dump(ended.value());
        // The backend's reason, from its "ERROR:" line.
        EXPECT_TRUE(
            ended->value(QStringLiteral("job-printer-state-message")).toString().contains(reason))
            << dump(ended.value());

        const Result<QJsonObject> queue = m_road.queueAttributes();
        ASSERT_TRUE(queue) << queue.error().description.toStdString();
        EXPECT_TRUE(queue->value(QStringLiteral("printer-is-accepting-jobs")).toBool())
            << dump(queue.value());
        EXPECT_NE(queue->value(QStringLiteral("printer-state")).toInt(), PrivateCups::kQueueStopped)
            << dump(queue.value());
        EXPECT_FALSE(
            keywords(queue.value(), "printer-state-reasons").contains(QStringLiteral("paused")))
            << dump(queue.value());

        QList<Print> next{pdf(QStringLiteral("After the refused one"), 1, 1)};
        print(next);
        waitForReports(1);
        expectArrivedWhole(next.first());
        EXPECT_EQ(m_road.submissions().size(), 1);
        EXPECT_TRUE(m_road.publishedCopyOf(refused.first().requestId).isNull());
        EXPECT_EQ(m_road.spoolEntries(), QStringList())
            << m_road.spoolEntries().join(", ").toStdString();
        const Result<bool> row = m_road.hasJobRow(refused.first().requestId);
        ASSERT_TRUE(row) << row.error().description.toStdString();
        EXPECT_FALSE(row.value());
    }
};

TEST_F(PrintRoadTest, onePrintArrivesWhole)
{
    QList<Print> prints{pdf(QStringLiteral("Quarterly report"), 2, 3)};
    print(prints);
    waitForReports(1);

    expectArrivedWhole(prints.first());
    EXPECT_EQ(m_road.submissions().size(), 1);
    EXPECT_EQ(notificationsEndingWith(kUploadSucceeded),
              QStringList({kUploading, kUploadSucceeded}));
    // CUPS ran the backend as its own unprivileged user, never as root: the job database that the
    // backend made belongs to that user.
    struct stat database = {};
    const QString databasePath = QStringLiteral("%1/%2").arg(
        QLatin1String(SpoolLayout::kDatabaseFolder), QLatin1String(JobDatabase::kFileName));
    ASSERT_EQ(::stat(QFile::encodeName(databasePath).constData(), &database), 0);
    EXPECT_NE(database.st_uid, 0u);
    // The monitor made the client the handler of its hand-off URLs.
    EXPECT_TRUE(TestSupport::readFile(workPath(QStringLiteral("config/mimeapps.list")))
                    .contains("x-scheme-handler/vandrix=com.dalvemor.vqm.client.desktop"));
    // With nothing left to do, the client ends by itself.
    const Result<Done> ended = m_road.waitForClientExit(kClientIdleEnd);
    EXPECT_TRUE(ended) << ended.error().description.toStdString();
}

TEST_F(PrintRoadTest, twoQuickPrintsBothArrive)
{
    QList<Print> prints{pdf(QStringLiteral("Rechnung März"), 1, 1),
                        pdf(QStringLiteral("Minutes"), 3, 2)};
    print(prints);
    waitForReports(2);

    for (const Print &print : std::as_const(prints))
        expectArrivedWhole(print);
    EXPECT_EQ(m_road.submissions().size(), 2);
    const QStringList notifications = notificationsEndingWith(kUploadSucceeded);
    EXPECT_EQ(notifications.count(kUploading), 2) << notifications.join(", ").toStdString();
    ASSERT_FALSE(notifications.isEmpty());
    EXPECT_EQ(notifications.last(), kUploadSucceeded) << notifications.join(", ").toStdString();
}

// The options shape the pages the service receives and counts; copies stay a count.
TEST_F(PrintRoadTest, printOptionsShapeThePagesTheServiceReceives)
{
    QList<Print> prints{
        pdf(QStringLiteral("Range of two, twice"), 5, 2, {QStringLiteral("page-ranges=2-3")},
            {{2}, {3}}),
        pdf(QStringLiteral("Two per sheet"), 5, 1, {QStringLiteral("number-up=2")},
            {{1, 2}, {3, 4}, {5}}),
        pdf(QStringLiteral("Odd pages, three times"), 5, 3, {QStringLiteral("page-set=odd")},
            {{1}, {3}, {5}}),
        pdf(QStringLiteral("Turned"), 2, 1, {QStringLiteral("landscape")}),
    };
    print(prints);
    waitForReports(int(prints.size()));

    for (const Print &print : std::as_const(prints))
        expectArrivedWhole(print);
    // The row still records the orientation asked for; pdftopdf has turned the pages (a
    // landscape box shown rotated), as on any CUPS PDF queue.
    EXPECT_EQ(memberText(registrationOf(prints.last()), "orientation"),
              QString::number(JobOptions::kLandscape));
    EXPECT_EQ(memberText(registrationOf(prints.first()), "orientation"),
              QString::number(JobOptions::kPortrait));
}

// Text, images and PostScript reach the backend as PDF made by CUPS's filters.
TEST_F(PrintRoadTest, otherFormatsArriveAsPdf)
{
    const QString source = workPath(QStringLiteral("source.pdf"));
    ASSERT_TRUE(SamplePdf::write(source, 2));
    const QStringList lines{QStringLiteral("Tarvello plain text"),
                            QStringLiteral("printed without an application")};
    const QString text = workPath(QStringLiteral("notes.txt"));
    const QString image = workPath(QStringLiteral("picture.png"));
    const QString postScript = workPath(QStringLiteral("poster.ps"));
    for (const Result<Done> &written :
         {SampleDocuments::writeText(text, lines), SampleDocuments::writeImage(image, source),
          SampleDocuments::writePostScript(postScript, source)})
        ASSERT_TRUE(written) << written.error().description.toStdString();

    // One page each for the text and the image, whose text pdftotext cannot read back: the image
    // has none, and texttopdf embeds its font without a map to Unicode.
    QList<Print> prints{
        printOf(text, QStringLiteral("Plain text"), 1, {}, QList<ArrivalCheck::PageTexts>{{}}),
        printOf(image, QStringLiteral("Image"), 2, {}, QList<ArrivalCheck::PageTexts>{{}}),
        printOf(postScript, QStringLiteral("PostScript"), 1, {}, ArrivalCheck::pagesOf(source)),
    };
    print(prints);
    waitForReports(int(prints.size()));

    for (const Print &print : std::as_const(prints))
        expectArrivedWhole(print);
}

// White space after the end marker: pdftopdf writes a new PDF, and a raw job's PDF is published
// without the tail, so that the monitor's completeness rule takes it.
TEST_F(PrintRoadTest, pdfWithWhitespaceTailArrivesWhole)
{
    const struct
    {
        const char *title;
        QStringList options;
    } cases[] = {{"Tail through the filters", {}}, {"Tail sent raw", {QLatin1String(kRawOption)}}};
    QList<Print> prints;
    for (const auto &tailCase : cases) {
        const QString title = QLatin1String(tailCase.title);
        const QString path = workPath(title + QStringLiteral(".pdf"));
        ASSERT_TRUE(SamplePdf::write(path, 2));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append) && file.write(kWhitespaceTail) > 0);
        file.close();
        prints << printOf(path, title, 1, tailCase.options, ArrivalCheck::pagesOf(path));
    }
    print(prints);
    waitForReports(int(prints.size()));

    for (const Print &print : std::as_const(prints))
        expectArrivedWhole(print);
    // Sent raw, the published PDF is the printed one without (all or part of) its tail.
    const QByteArray printed = TestSupport::readFile(prints.last().request.file);
    const QByteArray published =
        TestSupport::readFile(m_road.publishedCopyOf(prints.last().requestId));
    ASSERT_TRUE(printed.startsWith(published)) << published.right(16).toHex().toStdString();
    EXPECT_TRUE(printed.mid(published.size()).trimmed().isEmpty());
    EXPECT_LT(published.size(), printed.size());
}

// A raw job that is not a PDF: the backend refuses it, so CUPS cancels it with the backend's
// reason, nothing of it reaches the monitor or the job table, and the queue takes the next job.
TEST_F(PrintRoadTest, rawNonPdfIsRefusedAndTheQueueGoesOn)
{
    const QString text = workPath(QStringLiteral("raw.txt"));
    ASSERT_TRUE(SampleDocuments::writeText(text, {QStringLiteral("not a PDF")}));
    QList<Print> refused{printOf(text, QStringLiteral("Raw text"), 1, {QLatin1String(kRawOption)},
                                 QList<ArrivalCheck::PageTexts>{})};
    expectRefusedAndTheQueueGoesOn(refused, QStringLiteral("not a PDF"));
}

// Several files in one lp make one job: one PDF with every page of every document in order, one
// registration, the pages of all of them counted for every copy. Through the filters and raw
// alike, a text file among PDFs included, and a page range that leaves a document out.
TEST_F(PrintRoadTest, severalFilesMakeOneJobWithAllTheirPages)
{
    QList<Print> prints{
        pdfs(QStringLiteral("Two files"), {2, 3}, 1),
        pdfs(QStringLiteral("Two files, twice"), {1, 2}, 2),
        pdfs(QStringLiteral("Two raw files"), {2, 3}, 1, {QLatin1String(kRawOption)}),
        pdfs(QStringLiteral("Text between"), {1, 2}, 1, {}, QStringLiteral("between the PDFs")),
        pdfs(QStringLiteral("Range past the first"), {1, 3}, 1,
             {QStringLiteral("page-ranges=2-3")}),
    };
    // The range applies to each document: the first has no page in it, so pdftopdf sends nothing
    // of it.
    const Result<QList<ArrivalCheck::PageTexts>> ranged =
        ArrivalCheck::pagesOf(prints.last().request.moreFiles.first(), {{2}, {3}});
    ASSERT_TRUE(ranged) << ranged.error().description.toStdString();
    prints.last().expectedPages = ranged.value();
    print(prints);
    waitForReports(int(prints.size()));

    for (const Print &print : std::as_const(prints))
        expectArrivedWhole(print);
    EXPECT_EQ(m_road.submissions().size(), prints.size());
}

// One PDF that holds another one's end marker and header in its own bytes (a file of two PDFs
// attached to it uncompressed) is one document: sent raw, it is published byte for byte as it was
// printed.
TEST_F(PrintRoadTest, onePdfHoldingOtherPdfsArrivesAsItWasPrinted)
{
    const QString first = workPath(QStringLiteral("first.pdf"));
    const QString second = workPath(QStringLiteral("second.pdf"));
    const QString attached = workPath(QStringLiteral("attached.pdf"));
    const QString plain = workPath(QStringLiteral("plain.pdf"));
    const QString carrier = workPath(QStringLiteral("carrier.pdf"));
    ASSERT_TRUE(SamplePdf::write(first, 1) && SamplePdf::write(second, 2) &&
                SamplePdf::write(plain, 3));
    ASSERT_TRUE(TestSupport::writeFile(attached, TestSupport::readFile(first) +
                                                     TestSupport::readFile(second)));
    const Result<QByteArray> made =
        Tool::run(QStringLiteral("qpdf"),
                  {plain, QStringLiteral("--compress-streams=n"),
                   QStringLiteral("--add-attachment"), attached, QStringLiteral("--"), carrier});
    ASSERT_TRUE(made) << made.error().description.toStdString();
    ASSERT_TRUE(TestSupport::readFile(carrier).contains("%%EOF\n%PDF-"));

    QList<Print> prints{
        printOf(carrier, QStringLiteral("Carrier raw"), 1, {QLatin1String(kRawOption)},
                ArrivalCheck::pagesOf(carrier)),
        printOf(carrier, QStringLiteral("Carrier filtered"), 1, {}, ArrivalCheck::pagesOf(carrier)),
    };
    print(prints);
    waitForReports(int(prints.size()));

    for (const Print &print : std::as_const(prints))
        expectArrivedWhole(print);
    EXPECT_EQ(TestSupport::readFile(m_road.publishedCopyOf(prints.first().requestId)),
              TestSupport::readFile(carrier));
}

// A raw job of a PDF and a text file: the text is no PDF, so the whole job is refused with the
// reason, and nothing of it is left for the monitor.
TEST_F(PrintRoadTest, rawPdfWithRawTextIsRefusedWhole)
{
    QList<Print> refused{pdfs(QStringLiteral("PDF and text"), {1}, 1, {QLatin1String(kRawOption)},
                              QStringLiteral("not a PDF"))};
    expectRefusedAndTheQueueGoesOn(refused, QStringLiteral("not a whole PDF"));
}

TEST_F(PrintRoadTest, bigJobCancelledWhileItsFiltersRunLeavesNothingAndTheQueueGoesOn)
{
    // Big enough that the filters still work on it when the cancel comes.
    constexpr qint64 kBigPdfBytes = 300LL * 1024 * 1024;
    constexpr auto kProcessingLimit = 30s;
    constexpr auto kIdleLimit = 15s;
    const QString big = workPath(QStringLiteral("big.pdf"));
    const Result<Done> written = SamplePdf::write(big, 1, kBigPdfBytes);
    ASSERT_TRUE(written) << written.error().description.toStdString();
    QList<Print> cancelled{
        printOf(big, QStringLiteral("Big one"), 1, {}, QList<ArrivalCheck::PageTexts>{})};
    print(cancelled);
    const QString requestId = cancelled.first().requestId;
    // The backend has begun: the job is processing and the backend runs (it stages the PDF in
    // an unnamed file, which the spool folder does not list).
    ASSERT_TRUE(Polling::until(
        [&] {
            const Result<QJsonObject> job = m_road.jobAttributes(requestId);
            return job &&
                   job->value(QStringLiteral("job-state")).toInt() == PrivateCups::kJobProcessing &&
                   !backendProcesses().isEmpty();
        },
        kProcessingLimit))
        << m_road.diagnostics().toStdString();
    const Result<Done> cancel = m_road.cancel(requestId);
    ASSERT_TRUE(cancel) << cancel.error().description.toStdString();

    const Result<QJsonObject> ended = m_road.waitForJobEnd(requestId, kJobEndLimit);
    ASSERT_TRUE(ended) << ended.error().description.toStdString();
    EXPECT_EQ(ended->value(QStringLiteral("job-state")).toInt(), PrivateCups::kJobCanceled)
        << dump(ended.value());
    EXPECT_TRUE(Polling::until(
        [&] {
            const Result<QJsonObject> queue = m_road.queueAttributes();
            return queue &&
                   queue->value(QStringLiteral("printer-state")).toInt() ==
                       PrivateCups::kQueueIdle &&
                   backendProcesses().isEmpty();
        },
        kIdleLimit))
        << "backend processes: " << backendProcesses().join(' ').toStdString() << "\n"
        << m_road.diagnostics().toStdString();
    EXPECT_EQ(m_road.spoolEntries(), QStringList())
        << m_road.spoolEntries().join(", ").toStdString();
    const Result<bool> row = m_road.hasJobRow(requestId);
    ASSERT_TRUE(row) << row.error().description.toStdString();
    EXPECT_FALSE(row.value());
    EXPECT_TRUE(m_road.publishedCopyOf(requestId).isNull());

    QList<Print> next{pdf(QStringLiteral("After the cancelled one"), 1, 1)};
    print(next);
    waitForReports(1);
    expectArrivedWhole(next.first());
    EXPECT_EQ(m_road.submissions().size(), 1);
}

} // namespace
