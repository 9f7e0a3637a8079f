// A document printed with lp reaches the printing service whole: through the queue's backend,
// the monitor, the hand-off URL that GIO opens in the client, the client's login with the saved
// account, the job's registration, the FTP upload and the report, with the user told by
// notifications. Runs the real programs; see CMakeLists.txt for where.

#include "PrintRoad.h"
#include "SamplePdf.h"

#include "foundation/JobDatabase.h"
#include "foundation/SpoolLayout.h"
#include "support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ostream>

// Texts as texts in failure messages.
static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using namespace std::chrono_literals;

// The client's English texts (its strings table for a C locale).
const QString kUploading = QStringLiteral("Uploading ...");
const QString kUploadSucceeded = QStringLiteral("Upload succeeded");
constexpr auto kClientIdleEnd = 40s;
constexpr auto kNotificationLimit = 10s;

struct Document
{
    QString title;
    int pages;
    int copies;
};

QJsonObject members(const QJsonObject &request)
{
    return request.value(QStringLiteral("members")).toObject();
}

QJsonObject answer(const QJsonObject &request)
{
    return request.value(QStringLiteral("reply"))
        .toObject()
        .value(QStringLiteral("answer"))
        .toObject();
}

QString memberText(const QJsonObject &request, const char *name)
{
    return members(request).value(QLatin1String(name)).toString();
}

class PrintRoadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const Result<Done> started = m_road.start();
        ASSERT_TRUE(started) << started.error().description.toStdString();
    }

    // Writes the documents and prints them all at once.
    void print(const QList<Document> &documents)
    {
        QList<PrivateCups::PrintRequest> requests;
        for (const Document &document : documents) {
            const QString path = m_road.workPath(document.title + QStringLiteral(".pdf"));
            const Result<Done> written = SamplePdf::write(path, document.pages);
            ASSERT_TRUE(written) << written.error().description.toStdString();
            m_printed.insert(document.title, TestSupport::readFile(path));
            requests << PrivateCups::PrintRequest{path, document.title, document.copies};
        }
        const Result<QStringList> printed = m_road.print(requests);
        ASSERT_TRUE(printed) << printed.error().description.toStdString();
    }

    void waitForReports(int count)
    {
        const Result<Done> arrived = m_road.waitForReports(count, count * PrintRoad::kJobLimit);
        ASSERT_TRUE(arrived) << arrived.error().description.toStdString();
    }

    // The document's registration at the service, checked against what was printed, and the PDF
    // the service's FTP server received for it.
    void expectArrivedWhole(const Document &document)
    {
        QList<QJsonObject> registered;
        for (const QJsonObject &submission : m_road.submissions()) {
            if (memberText(submission, "docName") == document.title)
                registered << submission;
        }
        ASSERT_EQ(registered.size(), 1) << "registrations of " << document.title.toStdString();
        const QJsonObject &submission = registered.first();
        const QByteArray printed = m_printed.value(document.title);
        EXPECT_EQ(memberText(submission, "copies"), QString::number(document.copies));
        EXPECT_EQ(memberText(submission, "pageType"), QStringLiteral("A4"));
        // Counted by the monitor, for every copy.
        EXPECT_EQ(memberText(submission, "total_page"),
                  QString::number(document.pages * document.copies));
        EXPECT_EQ(memberText(submission, "doc_size"), QString::number(printed.size()));

        const QString stored = m_road.storedFileOf(submission);
        EXPECT_TRUE(TestSupport::readFile(stored) == printed)
            << stored.toStdString() << " differs from the printed document "
            << document.title.toStdString() << "\n"
            << m_road.diagnostics().toStdString();

        const QString jobId = QString::number(answer(submission).value("jobId").toInteger());
        QList<QJsonObject> reported;
        for (const QJsonObject &report : m_road.reports()) {
            if (memberText(report, "jobId") == jobId)
                reported << report;
        }
        ASSERT_EQ(reported.size(), 1) << "reports of job " << jobId.toStdString();
        EXPECT_EQ(memberText(reported.first(), "state"), QStringLiteral("1"));
        EXPECT_EQ(memberText(reported.first(), "saveFileName"),
                  answer(submission).value("dir").toString() +
                      memberText(submission, "org_job_path"));
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

    PrintRoad m_road;
    QHash<QString, QByteArray> m_printed;
};

TEST_F(PrintRoadTest, onePrintArrivesWhole)
{
    const Document report{QStringLiteral("Quarterly report"), 2, 3};
    print({report});
    waitForReports(1);

    expectArrivedWhole(report);
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
    EXPECT_TRUE(TestSupport::readFile(m_road.workPath(QStringLiteral("config/mimeapps.list")))
                    .contains("x-scheme-handler/vandrix=com.dalvemor.vqm.client.desktop"));
    // With nothing left to do, the client ends by itself.
    const Result<Done> ended = m_road.waitForClientExit(kClientIdleEnd);
    EXPECT_TRUE(ended) << ended.error().description.toStdString();
}

TEST_F(PrintRoadTest, twoQuickPrintsBothArrive)
{
    const QList<Document> documents{{QStringLiteral("Rechnung März"), 1, 1},
                                    {QStringLiteral("Minutes"), 3, 2}};
    print(documents);
    waitForReports(2);

    for (const Document &document : documents)
        expectArrivedWhole(document);
    EXPECT_EQ(m_road.submissions().size(), 2);
    const QStringList notifications = notificationsEndingWith(kUploadSucceeded);
    EXPECT_EQ(notifications.count(kUploading), 2) << notifications.join(", ").toStdString();
    ASSERT_FALSE(notifications.isEmpty());
    EXPECT_EQ(notifications.last(), kUploadSucceeded) << notifications.join(", ").toStdString();
}

} // namespace
