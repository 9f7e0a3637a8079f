// The hand-off on real files and a real job table, with a registry that records what it is asked:
// the copy, the page fix-up, the hand-off object and URL, and the handler decisions.

#include "monitor/HandlerService.h"
#include "FileMode.h"
#include "OpenedFolder.h"
#include "PdfFixture.h"
#include "RecordingRegistry.h"
#include "foundation/TextHelpers/Base64.h"
#include "monitor/PMShell.h"
#include "monitor/db/DBBusiness.h"
#include "monitor/platform/PdfDocument.h"
#include "support/LogCapture.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <SQLiteCpp/Database.h>

#include <gtest/gtest.h>

#include <functional>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kUuidPdfName = "^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.pdf$";

struct Row
{
    qint64 jobId = 12;
    QString fileName = "5paH5qGjLnBkZg==";
    QString copies = "2";
    QString pages;
    QString totalPages;
    QString paperSize = "9";
    QString pageType = "A4";
};

class HandOff : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        spool = root.filePath("pdf_out");
        copies = root.filePath("copies");
        ASSERT_TRUE(QDir().mkpath(spool));
        ASSERT_TRUE(QDir().mkpath(root.filePath("db")));
        database = std::make_unique<DataBaseHelper>(root.filePath("db"));
        ASSERT_TRUE(DBBusiness::initWithTable(*database));
        spoolFolder = OpenedFolder::open(spool);
        copyFolder = OpenedFolder::open(copies);
        ASSERT_TRUE(spoolFolder && copyFolder);
        service =
            std::make_unique<HandlerService>(*spoolFolder, *copyFolder, registry, database.get());
    }

    void insert(const Row &row)
    {
        DBJob job;
        job.job_id = row.jobId;
        job.fileName = row.fileName;
        job.copies = row.copies;
        job.pages = row.pages;
        job.totalPages = row.totalPages;
        job.paperSize = row.paperSize;
        job.pageType = row.pageType;
        ASSERT_TRUE(DBBusiness::updateJobs({job}, *database));
    }

    QString spoolPdf(const QString &jobId) const { return QDir(spool).filePath(jobId + ".pdf"); }

    // Copies into the folder at the path from now on, opened or made as at start.
    void useCopyFolder(const QString &path)
    {
        Result<CheckedFolder> made = CopyFolder::make(path);
        ASSERT_TRUE(made) << made.error().description.toStdString();
        copies = path;
        copyFolder = std::make_unique<CheckedFolder>(std::move(made.value()));
        service =
            std::make_unique<HandlerService>(*spoolFolder, *copyFolder, registry, database.get());
    }

    // A /tmp of the test's own that every user may write, as the real one, below a root that every
    // user may pass through.
    QString sharedTmp()
    {
        const QString tmp = root.filePath("tmp");
        EXPECT_EQ(::chmod(QFile::encodeName(root.path()).constData(), 0755), 0);
        EXPECT_TRUE(QDir().mkpath(tmp));
        EXPECT_EQ(::chmod(QFile::encodeName(tmp).constData(), 01777), 0);
        return tmp;
    }

    // The copy that the hand-off of the job names; null when it named none.
    QString handedOffCopy(const QString &jobId)
    {
        const QString parameters = service->getParametersStringFromJobId(jobId);
        if (parameters.isNull())
            return {};
        const QJsonObject object = QJsonDocument::fromJson(parameters.toUtf8()).object();
        return Base64::dencode(object.value("printjob").toString());
    }

    QStringList copiedFiles() const { return QDir(copies).entryList(QDir::Files); }

    // The hand-off object of the only URL opened so far.
    QJsonObject openedObject() const
    {
        const QStringList urls = registry.opened();
        if (urls.size() != 1)
            return {};
        const QString url = urls.first();
        if (!url.startsWith("vandrix://?params="))
            return {};
        const QByteArray json =
            QByteArray::fromPercentEncoding(url.mid(int(qstrlen("vandrix://?params="))).toLatin1());
        return QJsonDocument::fromJson(json).object();
    }

    QTemporaryDir root;
    QString spool;
    QString copies;
    LogCapture log;
    RecordingRegistry registry;
    std::unique_ptr<CheckedFolder> spoolFolder;
    std::unique_ptr<CheckedFolder> copyFolder;
    std::unique_ptr<DataBaseHelper> database;
    std::unique_ptr<HandlerService> service;
};

} // namespace

TEST_F(HandOff, PageCountsAreCompletedFromTheCopy)
{
    struct Case
    {
        const char *name;
        QString copies;
        int pdfPages; // < 0: not a PDF
        QString pages;
        QString totalPages;
        QString expectedCopies;
        QString expectedPages;
        QString expectedTotal;
    };
    const QList<Case> cases = {
        {"two copies of five pages", "2", 5, {}, {}, "2", "5", "10"},
        {"pages present but no total", "2", 5, "3", {}, "2", "5", "10"},
        {"copies without digits", "abc", 3, {}, {}, "abc", "3", "0"},
        {"copies with a leading number", "3x", 2, {}, {}, "3x", "2", "6"},
        {"no copies", {}, 2, {}, {}, "1", "2", "2"},
        {"not a PDF", "2", -1, {}, {}, "2", "0", "0"},
        {"counts present", {}, 5, "4", "8", "", "4", "8"},
    };
    qint64 id = 100;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ++id;
        Row row;
        row.jobId = id;
        row.copies = c.copies;
        row.pages = c.pages;
        row.totalPages = c.totalPages;
        insert(row);
        const QString path = spoolPdf(QString::number(id));
        if (c.pdfPages >= 0)
            PdfFixture::write(path, c.pdfPages);
        else
            ASSERT_TRUE(TestSupport::writeFile(path, "plain text, not a PDF\n%%EOF\n"));

        const QJsonObject object =
            QJsonDocument::fromJson(
                service->getParametersStringFromJobId(QString::number(id)).toUtf8())
                .object();
        EXPECT_EQ(object.value("copies").toString(), c.expectedCopies);
        EXPECT_EQ(object.value("pages").toString(), c.expectedPages);
        EXPECT_EQ(object.value("totalpages").toString(), c.expectedTotal);

        const DBJob stored = *DBBusiness::getJobWithJobId(QString::number(id), *database);
        EXPECT_EQ(stored.pages, c.expectedPages);
        EXPECT_EQ(stored.totalPages, c.expectedTotal);
        // Only a fixed-up row is written, with the copies it assumed.
        EXPECT_EQ(stored.copies,
                  c.pages.isNull() || c.totalPages.isNull() ? c.expectedCopies : c.copies);
    }
}

TEST_F(HandOff, ObjectHasThirteenTextMembersWithoutBlanks)
{
    Row row;
    row.paperSize = "A 4";
    insert(row);
    PdfFixture::write(spoolPdf("00012"), 1);

    const QString text = service->getParametersStringFromJobId("00012");
    ASSERT_FALSE(text.isNull());
    EXPECT_FALSE(text.contains(' '));
    EXPECT_FALSE(text.contains('\n'));

    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    EXPECT_EQ(object.size(), 13);
    for (auto it = object.begin(); it != object.end(); ++it)
        EXPECT_TRUE(it.value().isString()) << it.key().toStdString();
    EXPECT_EQ(object.value("method"), "print");
    EXPECT_EQ(object.value("jobId"), "12");
    EXPECT_EQ(object.value("docname"), "5paH5qGjLnBkZg==");
    EXPECT_EQ(object.value("pagetype"), Base64::encode("A4"));
    EXPECT_EQ(object.value("papersize"), "A4");
    EXPECT_EQ(object.value("version"), "2.4.20");
    EXPECT_EQ(object.value("orientation"), "");
    EXPECT_EQ(object.value("duplex"), "");
    EXPECT_EQ(object.value("color"), "");

    // The copy it names is the spool file, which is gone from the spool folder.
    const QString copy = Base64::dencode(object.value("printjob").toString());
    EXPECT_EQ(QFileInfo(copy).absolutePath(), QFileInfo(copies).absoluteFilePath());
    EXPECT_TRUE(QRegularExpression(kUuidPdfName).match(QFileInfo(copy).fileName()).hasMatch());
    EXPECT_TRUE(QFile::exists(copy));
    EXPECT_FALSE(QFile::exists(spoolPdf("00012")));
}

TEST_F(HandOff, UrlCarriesTheEscapedObject)
{
    insert(Row{});
    PdfFixture::write(spoolPdf("12"), 2);
    service->senderMessageWithJobId("12");

    ASSERT_EQ(registry.opened().size(), 1);
    const QString url = registry.opened().first();
    EXPECT_TRUE(QRegularExpression("^vandrix://\\?params=(%[0-9A-F]{2}|[A-Za-z0-9._~-])+$")
                    .match(url)
                    .hasMatch())
        << url.toStdString();
    const QJsonObject object = openedObject();
    EXPECT_EQ(object.size(), 13);
    EXPECT_EQ(object.value("totalpages"), "4");
    EXPECT_TRUE(log.contains("info: " + url));
    EXPECT_TRUE(log.contains("info: bundleId : com.dalvemor.vqm.client"));
}

TEST_F(HandOff, JobWhoseRowIsMissingOrUnreadableKeepsItsSpoolPdf)
{
    struct Case
    {
        const char *name;
        std::function<void(DataBaseHelper &)> breakTable;
        QString warning; // a regular expression
    };
    const QList<Case> cases = {
        {"no row", [](DataBaseHelper &) {}, "^warning: can't find job id from db$"},
        {"no table", [](DataBaseHelper &helper) { ASSERT_TRUE(DBBusiness::dropDatabase(helper)); },
         "^warning: can't read job id 13 from db: .*no such table: t_job"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.breakTable(*database);
        PdfFixture::write(spoolPdf("13"), 1);
        service->senderMessageWithJobId("13");

        const QStringList messages = log.messages();
        const qsizetype failed = messages.lastIndexOf(QRegularExpression(c.warning));
        ASSERT_GE(failed, 0) << messages.join('\n').toStdString();
        EXPECT_EQ(messages.value(failed + 1), "warning: api parame string is nil");
        EXPECT_TRUE(registry.opened().isEmpty());
        EXPECT_TRUE(copiedFiles().isEmpty());
        EXPECT_TRUE(QFile::exists(spoolPdf("13")));
    }
}

TEST_F(HandOff, NonNumericIdFindsNoRow)
{
    insert(Row{});
    PdfFixture::write(spoolPdf("12 OR 1=1"), 1);
    service->senderMessageWithJobId("12 OR 1=1");
    EXPECT_TRUE(log.contains("warning: can't find job id from db"));
    EXPECT_TRUE(registry.opened().isEmpty());
}

TEST_F(HandOff, SpoolFileGoneBeforeTheCopy)
{
    insert(Row{});
    service->senderMessageWithJobId("12");

    const QStringList messages = log.messages();
    const QRegularExpression copyWarning("^warning: can't copy file to " +
                                         QRegularExpression::escape(copies) +
                                         "/[0-9A-F-]{36}\\.pdf $");
    const qsizetype failed = messages.indexOf(copyWarning);
    ASSERT_GE(failed, 0) << messages.join('\n').toStdString();
    EXPECT_EQ(messages.value(failed + 1), "warning: api parame string is nil");
    EXPECT_TRUE(registry.opened().isEmpty());
    // Nothing reached the table.
    EXPECT_TRUE(DBBusiness::getJobWithJobId("12", *database)->pages.isNull());
}

uid_t ownerOf(const QString &path)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_uid : uid_t(-1);
}

// Whatever umask the monitor runs with and whatever an older monitor left, every user may read a
// copy and only its owner may change it, and the copy folder is sticky.
TEST_F(HandOff, CopyIsReadableByAllAndItsFolderSticky)
{
    struct Case
    {
        const char *name;
        mode_t foundMode; // 0: nothing there, nor its parent
    };
    const Case cases[] = {
        {"made by the monitor, with its parent", 0},
        {"left open to all, not sticky, by an older monitor", 0777},
        {"private", 0700},
    };
    const mode_t previousUmask = ::umask(077);
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = root.filePath(QStringLiteral("case%1/vqmprinter").arg(++round));
        if (c.foundMode != 0) {
            ASSERT_TRUE(QDir().mkpath(folder));
            ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), c.foundMode), 0);
        }
        useCopyFolder(folder);
        insert(Row{});
        PdfFixture::write(spoolPdf("12"), 1);

        const QString copy = handedOffCopy("12");
        ASSERT_FALSE(copy.isNull());
        EXPECT_EQ(QFileInfo(copy).path(), folder);
        EXPECT_EQ(fileModeOf(copy), 0644u);
        EXPECT_EQ(ownerOf(copy), ::geteuid());
        EXPECT_EQ(fileModeOf(folder), 01777u);
    }
    ::umask(previousUmask);
}

TEST_F(HandOff, CopyFolderRemovedWhileTheMonitorRunsIsMadeAgain)
{
    const QString tmp = root.filePath("tmp");
    useCopyFolder(tmp + "/vqmprinter");
    // Its parent with it, as a clean-up of /tmp might.
    ASSERT_TRUE(QDir(tmp).removeRecursively());
    insert(Row{});
    PdfFixture::write(spoolPdf("12"), 2);

    service->senderMessageWithJobId("12");

    ASSERT_EQ(registry.opened().size(), 1) << log.messages().join('\n').toStdString();
    const QString copy = Base64::dencode(openedObject().value("printjob").toString());
    EXPECT_EQ(QFileInfo(copy).path(), copies);
    EXPECT_EQ(PdfDocument::numberOfPages(copy), 2);
    EXPECT_FALSE(QFile::exists(spoolPdf("12")));
    EXPECT_EQ(fileModeOf(copies), 01777u);
    EXPECT_EQ(ownerOf(copies), ::geteuid());
    EXPECT_EQ(log.count("made again"), 1);

    // The next job goes into the folder made again, which is not made once more.
    Row next;
    next.jobId = 13;
    insert(next);
    PdfFixture::write(spoolPdf("13"), 1);
    service->senderMessageWithJobId("13");
    EXPECT_EQ(registry.opened().size(), 2);
    EXPECT_EQ(copiedFiles().size(), 2);
    EXPECT_EQ(log.count("made again"), 1);
}

TEST_F(HandOff, CopyFolderPlantedAfterItsRemovalIsRefusedAsAtStart)
{
    const QString tmp = sharedTmp();
    useCopyFolder(tmp + "/vqmprinter");
    const QString secret = root.filePath("secret");
    ASSERT_TRUE(QDir().mkpath(secret));
    struct Case
    {
        const char *name;
        QStringList plant; // the other user's command
        QString reason;
    };
    const QList<Case> cases = {
        {"a link", {"ln", "-s", secret, copies}, "is a symbolic link, which is never followed"},
        {"his own folder", {"mkdir", "-m", "777", copies}, "belongs to user"},
    };
    insert(Row{});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PdfFixture::write(spoolPdf("12"), 1);
        ASSERT_TRUE(QFile::remove(copies) || QDir().rmdir(copies));
        ASSERT_TRUE(OtherUser::run(c.plant));

        LogCapture caseLog;
        service->senderMessageWithJobId("12");

        EXPECT_TRUE(registry.opened().isEmpty());
        EXPECT_TRUE(QFile::exists(spoolPdf("12")));
        EXPECT_TRUE(QDir(secret).isEmpty());
        const QStringList refusals = caseLog.messages().filter("cannot be made again");
        ASSERT_EQ(refusals.size(), 1) << caseLog.messages().join('\n').toStdString();
        EXPECT_TRUE(refusals.first().contains(c.reason)) << refusals.first().toStdString();
    }
}

// What another user put at a job's name after the watcher looked (or linked there from
// elsewhere) is no file the backend published: never handed off, and left where it is.
TEST_F(HandOff, SpoolPdfThatIsNoJobOfTheBackendsIsLeftAlone)
{
    const struct passwd *nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    struct Case
    {
        const char *name;
        std::function<bool(const QString &)> plant;
    };
    const QList<Case> cases = {
        {"another user's file",
         [&](const QString &pdf) {
             return ::chown(QFile::encodeName(pdf).constData(), nobody->pw_uid, nobody->pw_gid) ==
                    0;
         }},
        {"a second link of a file elsewhere",
         [&](const QString &pdf) {
             return ::link(QFile::encodeName(pdf).constData(),
                           QFile::encodeName(root.filePath("elsewhere.pdf")).constData()) == 0;
         }},
    };
    insert(Row{});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(root.filePath("elsewhere.pdf"));
        PdfFixture::write(spoolPdf("12"), 1);
        ASSERT_TRUE(c.plant(spoolPdf("12")));

        LogCapture caseLog;
        service->senderMessageWithJobId("12");

        EXPECT_TRUE(registry.opened().isEmpty());
        EXPECT_TRUE(QFile::exists(spoolPdf("12")));
        EXPECT_TRUE(copiedFiles().isEmpty());
        EXPECT_EQ(caseLog.count("is no job of the backend's"), 1) << caseLog.text().toStdString();
        EXPECT_TRUE(caseLog.contains("warning: api parame string is nil"));
        ASSERT_TRUE(QFile::remove(spoolPdf("12")));
    }
}

TEST(PdfPageCount, OnlyARegularFileIsCounted)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    PdfFixture::write(folder.filePath("three.pdf"), 3);
    ASSERT_TRUE(QFile::link(folder.filePath("three.pdf"), folder.filePath("link.pdf")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath("fifo.pdf")).constData(), 0666), 0);
    const QList<std::pair<const char *, long>> cases = {
        {"three.pdf", 3}, {"link.pdf", 0}, {"fifo.pdf", 0}, {"missing.pdf", 0}};
    for (const auto &[name, pages] : cases)
        EXPECT_EQ(PdfDocument::numberOfPages(folder.filePath(name)), pages) << name;
}

TEST_F(HandOff, HandlerIsReadBeforeTheJobIsTouched)
{
    insert(Row{});
    PdfFixture::write(spoolPdf("12"), 1);
    bool spoolPresentAtFirstCall = false;
    registry.onCall = [&](const QString &call) {
        if (registry.calls().isEmpty())
            spoolPresentAtFirstCall =
                call.startsWith("defaultHandler") && QFile::exists(spoolPdf("12"));
    };
    service->senderMessageWithJobId("12");
    EXPECT_TRUE(spoolPresentAtFirstCall);
}

TEST_F(HandOff, HandlerDecisions)
{
    const QString clientApp = root.filePath("com.dalvemor.vqm.client.desktop");
    const QString otherApp = root.filePath("viewer.desktop");
    ASSERT_TRUE(TestSupport::writeFile(clientApp, "[Desktop Entry]\n"));
    ASSERT_TRUE(TestSupport::writeFile(otherApp, "[Desktop Entry]\n"));
    const QString set = "set vandrix com.dalvemor.vqm.client";

    struct Case
    {
        const char *name;
        QString handler;
        Result<QString> application;
        int setStatus;
        bool openResult;
        bool expectSet;
        QStringList expectedLines;
    };
    const Error noApplication{"test", 1, "none"};
    const QList<Case> cases = {
        {"no handler",
         {},
         noApplication,
         0,
         true,
         true,
         {"warning: get application url for registered scheme "
          "vandrix---------defaultHandler:(null)",
          "warning: set default handler for url scheme vandrix error0"}},
        {"the client, present",
         "COM.dalvemor.vqm.client",
         clientApp,
         0,
         true,
         false,
         {"info: already registered,applicationURL.path:" + clientApp}},
        {"the client, no longer present",
         "com.dalvemor.vqm.client",
         root.filePath("gone.desktop"),
         0,
         true,
         true,
         {"warning: set default handler for url scheme vandrix error0"}},
        {"another application, present",
         "org.example.viewer",
         otherApp,
         0,
         true,
         false,
         {"info: already registered,applicationURL.path:" + otherApp}},
        {"registration fails",
         {},
         noApplication,
         2,
         true,
         true,
         {"warning: set default handler for url scheme vandrix error2"}},
        {"opening fails",
         "com.dalvemor.vqm.client",
         clientApp,
         0,
         false,
         false,
         {"warning: work space open url failed"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingRegistry caseRegistry;
        caseRegistry.handler = c.handler;
        caseRegistry.application = c.application;
        caseRegistry.identifiers = {{clientApp, "com.dalvemor.vqm.client"},
                                    {otherApp, "org.example.viewer"}};
        caseRegistry.setStatus = c.setStatus;
        caseRegistry.openResult = c.openResult;
        HandlerService caseService(*spoolFolder, *copyFolder, caseRegistry, database.get());
        LogCapture caseLog;
        insert(Row{});
        PdfFixture::write(spoolPdf("12"), 1);

        caseService.senderMessageWithJobId("12");

        EXPECT_EQ(caseRegistry.calls().contains(set), c.expectSet);
        EXPECT_EQ(caseRegistry.opened().size(), 1);
        EXPECT_TRUE(caseLog.contains("info: defaultHandler: " +
                                     (c.handler.isNull() ? QString("(null)") : c.handler)));
        for (const QString &line : c.expectedLines)
            EXPECT_TRUE(caseLog.contains(line)) << line.toStdString();
    }
}

TEST(HandlerServiceHelpers, TextHelpers)
{
    EXPECT_EQ(HandlerService::urlEncodedString("{\"method\":\"print\"}"),
              "%7B%22method%22%3A%22print%22%7D");
    EXPECT_EQ(HandlerService::urlEncodedString("a/b?c=d&e+f%~._-"), "a%2Fb%3Fc%3Dd%26e%2Bf%25~._-");
    EXPECT_EQ(HandlerService::dictionaryToJsonString({{"papersize", "A 4"}, {"n", "x\ny"}}),
              "{\"n\":\"x\\ny\",\"papersize\":\"A4\"}");
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")
                    .match(HandlerService::stringWithUUID())
                    .hasMatch());
    EXPECT_NE(HandlerService::stringWithUUID(), HandlerService::stringWithUUID());
    EXPECT_EQ(HandlerService::dictionaryToUrlString({{"a", "1"}, {"b", "x y"}}), "a=1&b=x y");
}

TEST(PMShellCommand, ReturnsStandardOutputOnly)
{
    EXPECT_EQ(PMShell::cmd("echo hello; echo noise >&2; printf '\\377'"),
              QString("hello\n") + QChar(0xFFFD));
}
