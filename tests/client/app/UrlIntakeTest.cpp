#include "AppFixture.h"

#include "client/app/UrlIntake.h"
#include "foundation/HandoffUrl.h"
#include "foundation/TextHelpers/Base64.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

using namespace std::chrono_literals;

namespace {

constexpr auto kOtherDocumentName = "ü~?/Über?>"; // its Base64 holds "+" and "/"

class UrlIntakeTest : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        ASSERT_TRUE(TestSupport::writeFile(path("secret.pdf"), "%PDF secret"));
        ASSERT_TRUE(QFile::link(path("secret.pdf"), copyFolder() + "/link.pdf"));
        ASSERT_TRUE(QDir().mkpath(copyFolder() + "/folder.pdf"));
        // A job already waits, so that a new one must go to the end.
        uploadService().appendJob(std::make_shared<PrnParameterModel>());
    }

    static QString urlFor(const QString &pdfPath) { return HandoffUrl::build(jobObject(pdfPath)); }

    // Hands the URL to the delegate and waits until it is done with it.
    void handle(const QString &url)
    {
        bool replied = false;
        delegate().handleURLEvent(url, [&replied] { replied = true; });
        ASSERT_TRUE(TestSupport::waitUntil([&] { return replied; })) << qPrintable(url);
    }
};

TEST_F(UrlIntakeTest, QueuesExactlyTheUrlsThatCarryAJobInTheCopyFolder)
{
    QJsonObject questionMark = jobObject(jobPath());
    questionMark[QStringLiteral("copies")] = QStringLiteral("1?2");
    QJsonObject paramsInValue = jobObject(jobPath());
    paramsInValue[QStringLiteral("jobId")] = QStringLiteral("params=82");
    QJsonObject base64Name = jobObject(jobPath());
    base64Name[QStringLiteral("docname")] = Base64::encode(QString::fromUtf8(kOtherDocumentName));
    ASSERT_TRUE(base64Name[QStringLiteral("docname")].toString().contains(u'+'));
    ASSERT_TRUE(base64Name[QStringLiteral("docname")].toString().contains(u'/'));
    // "+" and "/" as they stand in the URL, not escaped.
    const QString rawBase64Url = HandoffUrl::build(base64Name)
                                     .replace(QStringLiteral("%2B"), QStringLiteral("+"))
                                     .replace(QStringLiteral("%2F"), QStringLiteral("/"));
    const QString params = urlFor(jobPath()).mid(QString::fromLatin1(HandoffUrl::prefix).size());

    struct Case
    {
        const char *what;
        QString url;
        QString queuedPath; // null: nothing queued
        const char *logged;
    };
    const Case cases[] = {
        {"a hand-off URL", urlFor(jobPath()), jobPath(), nullptr},
        {"no '?'", QStringLiteral("vandrix://params=") + params, {}, "!!urls is empty"},
        {"nothing after 'params='", QStringLiteral("vandrix://?params="), {}, "!!params is empty"},
        {"text after a second '?'", urlFor(jobPath()) + QStringLiteral("?Y=1&z"), jobPath(),
         nullptr},
        {"an escaped '?' inside the object",
         HandoffUrl::build(questionMark),
         {},
         "!!params is empty"},
        {"'params=' inside a value", HandoffUrl::build(paramsInValue), jobPath(), nullptr},
        {"'+' and '/' in Base64", rawBase64Url, jobPath(), nullptr},
        {"another scheme and host", QStringLiteral("other://host/path?params=") + params, jobPath(),
         nullptr},
        {"an invalid percent sequence",
         QStringLiteral("vandrix://?params=%7B%G1%7D"),
         {},
         "!!urls is empty"},
        {"a percent sign at the end", urlFor(jobPath()) + u'%', {}, "!!urls is empty"},
        {"escaped bytes that are not UTF-8",
         QStringLiteral("vandrix://?params=%FF%FE"),
         {},
         "!!urls is empty"},
        {"a JSON array", QStringLiteral("vandrix://?params=%5B%7B%7D%5D"), {}, "!!params is empty"},
        {"a file outside the copy folder", urlFor(path("secret.pdf")), {}, "!!job 81 dropped"},
        {"a link out of the copy folder",
         urlFor(copyFolder() + "/link.pdf"),
         {},
         "!!job 81 dropped"},
        {"'..' in the path", urlFor(copyFolder() + "/../secret.pdf"), {}, "!!job 81 dropped"},
        {"a folder", urlFor(copyFolder() + "/folder.pdf"), {}, "!!job 81 dropped"},
        {"no file named", HandoffUrl::build(QJsonObject{{"jobId", "81"}}), {}, "!!job 81 dropped"},
        {"a missing file in the copy folder", urlFor(copyFolder() + "/missing.pdf"),
         copyFolder() + "/missing.pdf", nullptr},
    };
    for (const Case &c : cases) {
        LogCapture log;
        const qsizetype before = uploadService().jobArray().size();
        handle(c.url);
        const UploadService::JobList jobs = uploadService().jobArray();
        if (c.queuedPath.isNull()) {
            EXPECT_EQ(jobs.size(), before) << c.what;
        } else {
            ASSERT_EQ(jobs.size(), before + 1) << c.what;
            EXPECT_EQ(jobs.last()->pdfPath, c.queuedPath) << c.what;
        }
        if (c.logged) {
            EXPECT_EQ(log.count(QString::fromLatin1(c.logged)), 1) << c.what;
        }
    }
}

TEST_F(UrlIntakeTest, FillsTheJobFromTheObject)
{
    QJsonObject object = jobObject(jobPath());
    object[QStringLiteral("docname")] = Base64::encode(QString::fromUtf8(kOtherDocumentName));
    handle(HandoffUrl::build(object)
               .replace(QStringLiteral("%2B"), QStringLiteral("+"))
               .replace(QStringLiteral("%2F"), QStringLiteral("/")));
    handle(urlFor(jobPath()));
    ASSERT_EQ(uploadService().jobArray().size(), 3);
    const UploadService::Job job = uploadService().jobArray().at(1);
    EXPECT_EQ(job->fileName, QString::fromUtf8(kOtherDocumentName));
    EXPECT_EQ(job->pagerSize, "A4");
    EXPECT_EQ(job->copiesCount, "2");
    EXPECT_EQ(job->pageTotal, "6");
    EXPECT_EQ(job->jobId, "81");
    EXPECT_EQ(job->fileSize, QString::number(QFileInfo(jobPath()).size()));
    // Two hand-offs of one document are two jobs.
    EXPECT_NE(uploadService().jobArray().at(2), job);
}

TEST_F(UrlIntakeTest, SampleUrlQueuesAOnePageJobInTheCopyFolder)
{
    delegate().test();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return uploadService().jobArray().size() == 2; }));
    const UploadService::Job job = uploadService().jobArray().last();
    EXPECT_EQ(QFileInfo(job->pdfPath).path(), copyFolder());
    EXPECT_EQ(job->jobId, "80");
    EXPECT_EQ(job->pagerSizeCode, "9");
    EXPECT_EQ(job->pagerSize, "A4");
    EXPECT_EQ(job->pages, "1");
    EXPECT_EQ(job->pageTotal, "1");
    EXPECT_EQ(job->copiesCount, "1");
    EXPECT_EQ(job->fileSize, "0");
}

TEST(PercentDecodingTest, IsStrictAndLeavesPlusAlone)
{
    EXPECT_EQ(UrlIntake::removingPercentEncoding(QStringLiteral("a+b%2Bc%20d")), "a+b+c d");
    EXPECT_EQ(UrlIntake::removingPercentEncoding(QStringLiteral("%E4%B8%AD")), u"中");
    EXPECT_EQ(UrlIntake::removingPercentEncoding(QStringLiteral("")), "");
    for (const char *invalid : {"%", "%4", "%G0", "a%2", "%C3%28"})
        EXPECT_TRUE(UrlIntake::removingPercentEncoding(QLatin1String(invalid)).isNull()) << invalid;
}

} // namespace
