#include "client/network/FTPFileUpload.h"
#include "CopySwaps.h"
#include "HangingFtpServer.h"
#include "support/FtpServerFixture.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

#include <optional>

#include <fcntl.h>

using namespace std::chrono_literals;

namespace {

constexpr auto kShortGuard = 300ms;
constexpr auto kTestLimit = 20s;

struct Outcome
{
    QString result;
    bool onMainThread = false;
};

QCoro::Task<Outcome> upload(VQJobInfoResult target, QString localFilePath,
                            std::chrono::milliseconds guard)
{
    // The file's own folder stands for the copy folder.
    FTPFileUpload uploader(CopyFolderCheck(QFileInfo(localFilePath).path()), guard);
    QCoro::Task<QString> pending = uploader.uploadFileWithFtpInfo(target, localFilePath);
    const QString result = co_await pending;
    co_return Outcome{result, QThread::currentThread() == QCoreApplication::instance()->thread()};
}

// Runs the upload as the chain does and waits, within the test's limit, for its outcome.
std::optional<Outcome> runUpload(const VQJobInfoResult &target, const QString &localFilePath,
                                 std::chrono::milliseconds guard = kShortGuard)
{
    std::optional<Outcome> outcome;
    QCoro::Task<Outcome> task = upload(target, localFilePath, guard);
    task.then([&outcome](Outcome done) { outcome = done; });
    TestSupport::waitUntil([&outcome] { return outcome.has_value(); }, kTestLimit);
    return outcome;
}

class FtpUploadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start()) << m_server.errorString().toStdString();
        ASSERT_TRUE(m_local.isValid());
        m_pdf = m_local.filePath(QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301.pdf"));
        m_content = QByteArray("%PDF-1.4\n") + QByteArray(300000, 'x') + "\n%%EOF\n";
        ASSERT_TRUE(TestSupport::writeFile(m_pdf, m_content));
    }

    VQJobInfoResult target(const QString &dir) const
    {
        VQJobInfoResult info;
        info.ip = QStringLiteral("127.0.0.1");
        info.port = QString::number(m_server.port());
        info.user = m_server.user();
        info.pwd = m_server.password();
        info.dir = dir;
        return info;
    }

    QString stored(const QString &relativeDir) const
    {
        return QDir(m_server.root()).filePath(relativeDir + QFileInfo(m_pdf).fileName());
    }

    FtpServerFixture m_server;
    QTemporaryDir m_local;
    QString m_pdf;
    QByteArray m_content;
};

struct DirectoryCase
{
    const char *dir;
    QStringList directoryRequests;
    const char *storedUnder; // relative to the server root
};

class FtpDirectoryTest : public FtpUploadTest, public ::testing::WithParamInterface<DirectoryCase>
{};

TEST_P(FtpDirectoryTest, CreatesEachLevelInOrderThenStoresTheFileUnderItsOwnName)
{
    const DirectoryCase &c = GetParam();
    const std::optional<Outcome> outcome = runUpload(target(QString::fromUtf8(c.dir)), m_pdf);

    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, "1");
    EXPECT_TRUE(outcome->onMainThread);
    EXPECT_EQ(m_server.commands("MKD"), c.directoryRequests);
    // Each level is an exchange of its own: one login per directory, one for the upload.
    EXPECT_EQ(m_server.commands("USER").size(), c.directoryRequests.size() + 1);
    EXPECT_EQ(TestSupport::readFile(stored(QString::fromUtf8(c.storedUnder))), m_content);
}

INSTANTIATE_TEST_SUITE_P(
    Directories, FtpDirectoryTest,
    ::testing::Values(
        DirectoryCase{"/a/b/c", {"MKD a", "MKD a/b", "MKD a/b/c"}, "a/b/c/"},
        DirectoryCase{"/a/b/", {"MKD a", "MKD a/b", "MKD a/b/"}, "a/b/"},
        DirectoryCase{"/", {}, ""},
        DirectoryCase{"/年 2024/50%#1", {"MKD 年 2024", "MKD 年 2024/50%#1"}, "年 2024/50%#1/"}));

TEST_F(FtpUploadTest, DirectoryWithoutLeadingSlashSkipsItsFirstComponent)
{
    // "a/b" follows the address directly, so the upload goes to a host that does not exist.
    LogCapture log;
    const std::optional<Outcome> outcome = runUpload(target(QStringLiteral("a/b")), m_pdf);

    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, "0");
    EXPECT_EQ(m_server.commands("MKD"), QStringList{"MKD b"});
    EXPECT_EQ(log.count("##ftp manager upload faild"), 1);
}

TEST_F(FtpUploadTest, ExistingDirectoriesDoNotStopTheUpload)
{
    ASSERT_TRUE(QDir(m_server.root()).mkpath(QStringLiteral("a/b")));
    const std::optional<Outcome> outcome = runUpload(target(QStringLiteral("/a/b")), m_pdf);

    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, "1");
    EXPECT_EQ(m_server.commands("MKD"), (QStringList{"MKD a", "MKD a/b"}));
    EXPECT_EQ(TestSupport::readFile(stored(QStringLiteral("a/b/"))), m_content);
}

TEST_F(FtpUploadTest, AddressMayCarryTheFtpSchemeAndPort)
{
    VQJobInfoResult info = target(QStringLiteral("/jobs"));
    info.ip = QStringLiteral("ftp://127.0.0.1:%1").arg(m_server.port());
    for (const QString &portText : {QString(), QStringLiteral(""), QStringLiteral("x")}) {
        // Port 0 leaves the port of the address in force.
        info.port = portText;
        const std::optional<Outcome> outcome = runUpload(info, m_pdf);
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->result, "1") << portText.toStdString();
    }
    EXPECT_EQ(TestSupport::readFile(stored(QStringLiteral("jobs/"))), m_content);
}

TEST_F(FtpUploadTest, PathOfTheAddressIsWhereTheLevelsGrowFrom)
{
    ASSERT_TRUE(QDir(m_server.root()).mkpath(QStringLiteral("base")));
    VQJobInfoResult info = target(QStringLiteral("/a"));
    info.ip = QStringLiteral("ftp://127.0.0.1/base");
    const std::optional<Outcome> outcome = runUpload(info, m_pdf);

    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, "1");
    EXPECT_EQ(m_server.commands("MKD"), QStringList{"MKD base/a"});
    EXPECT_EQ(TestSupport::readFile(stored(QStringLiteral("base/a/"))), m_content);
}

TEST_F(FtpUploadTest, EmptyPortTextOnABareHostMissesTheServer)
{
    VQJobInfoResult info = target(QStringLiteral("/a"));
    info.port = QString();
    const std::optional<Outcome> outcome = runUpload(info, m_pdf);

    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, "0");
    EXPECT_TRUE(m_server.commands().isEmpty());
}

TEST_F(FtpUploadTest, FailuresGiveZero)
{
    VQJobInfoResult wrongPassword = target(QStringLiteral("/a"));
    wrongPassword.pwd = QStringLiteral("wrong");
    std::optional<Outcome> outcome = runUpload(wrongPassword, m_pdf);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, "0");
    EXPECT_FALSE(QFile::exists(stored(QStringLiteral("a/"))));

    outcome = runUpload(target(QStringLiteral("/b")), m_local.filePath(QStringLiteral("gone.pdf")));
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, "0");
    EXPECT_TRUE(QFileInfo(QDir(m_server.root()).filePath(QStringLiteral("b"))).isDir());
    EXPECT_TRUE(m_server.commands("STOR").isEmpty());
}

TEST_F(FtpUploadTest, TargetsThatAreNotFtpServersAreRefusedWithoutTouchingAnything)
{
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    const QString port = QString::number(m_server.port());
    const QList<QPair<QString, QString>> targets = {
        {"file://" + elsewhere.path(), QStringLiteral("/a")},
        {"http://127.0.0.1:" + port, QStringLiteral("/a")},
        {"FILE://" + elsewhere.path(), QStringLiteral("/")},
        {QStringLiteral("127.0.0.1"), QStringLiteral("/a\r\nDELE x")},
    };
    for (const auto &[ip, dir] : targets) {
        VQJobInfoResult info = target(dir);
        info.ip = ip;
        const std::optional<Outcome> outcome = runUpload(info, m_pdf);
        ASSERT_TRUE(outcome) << ip.toStdString();
        EXPECT_EQ(outcome->result, "0") << ip.toStdString();
    }
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
    EXPECT_TRUE(m_server.commands().isEmpty());
}

TEST(FtpUploadGuardTest, HangingDirectoryRequestIsAbortedAndTheUploadStillTried)
{
    HangingFtpJob job;
    ASSERT_TRUE(job.prepare());
    const VQJobInfoResult info = job.server.target(QStringLiteral("/a/b"));

    LogCapture log;
    const std::optional<Outcome> outcome = runUpload(info, job.copy);

    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, "0");
    EXPECT_EQ(log.count("ftp requestTimeout"), 2);
    EXPECT_EQ(job.server.commands().filter("MKD"), (QStringList{"MKD a", "MKD a/b"}));
    // Two aborted directory requests, then the upload on a connection of its own.
    EXPECT_EQ(job.server.connectionCount(), 3);
    EXPECT_EQ(log.count("##ftp manager upload faild"), 1);
}

// A job copy in a copy folder that every user may write, as the monitor leaves it, which another
// user replaces after the hand-off took it and before the upload reads it.
class FtpCopySwapTest : public FtpUploadTest,
                        public ::testing::WithParamInterface<CopySwaps::CopySwap>
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(FtpUploadTest::SetUp());
        m_copyFolder = m_local.filePath(QStringLiteral("vqmprinter"));
        m_copy = m_copyFolder + QStringLiteral("/3F2504E0-4F89-11D3-9A0C-0305E82C3301.pdf");
        m_secret = m_local.filePath(QStringLiteral("secret.txt"));
        ASSERT_TRUE(QDir().mkpath(m_copyFolder));
        ASSERT_TRUE(QFile::setPermissions(m_local.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                              QFile::ExeOwner | QFile::ExeOther));
        ASSERT_TRUE(QFile::setPermissions(m_copyFolder, QFile::Permissions(0x7777)));
        ASSERT_TRUE(TestSupport::writeFile(m_copy, m_content));
        ASSERT_TRUE(TestSupport::writeFile(m_secret, "the user's secret"));
        ASSERT_TRUE(CopyFolderCheck(m_copyFolder).refusal(m_copy).isNull());
    }

    QString m_copyFolder;
    QString m_copy;
    QString m_secret;
};

TEST_P(FtpCopySwapTest, CopyThatIsNoLongerARegularFileFailsAndNothingReachesTheServer)
{
    ASSERT_TRUE(OtherUser::runScript(QLatin1String(GetParam().script), {m_copy, m_secret}));

    LogCapture log;
    FTPFileUpload uploader{CopyFolderCheck(m_copyFolder), kShortGuard};
    std::optional<QString> result;
    QCoro::Task<QString> pending = uploader.uploadFileWithFtpInfo(target("/a"), m_copy);
    pending.then([&result](const QString &done) { result = done; });

    ASSERT_TRUE(TestSupport::waitUntil([&result] { return result.has_value(); }, kTestLimit));
    EXPECT_EQ(*result, "0");
    EXPECT_TRUE(m_server.commands().isEmpty()) << m_server.commands().join('\n').toStdString();
    EXPECT_EQ(log.count("!!ftp upload refused"), 1) << log.lines().join('\n').toStdString();
    EXPECT_TRUE(QDir(m_server.root()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Swaps, FtpCopySwapTest, ::testing::ValuesIn(CopySwaps::kCopySwaps),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(FtpUploadTest, UploadReportsItsProgressUpToTheWholeFile)
{
    const Result<FileDescriptor> file = SharedFolderFiles::openRegularFile(m_pdf, O_RDONLY);
    ASSERT_TRUE(file);
    QList<FtpExchange::Progress> reports;
    QUrl url(QStringLiteral("ftp://127.0.0.1/") + QFileInfo(m_pdf).fileName());
    FtpExchange upload(url, {m_server.user(), m_server.password(), long(m_server.port())},
                       [&reports](const FtpExchange::Progress &progress) { reports << progress; });

    ASSERT_TRUE(upload.upload(file->get())) << upload.errorString().toStdString();
    ASSERT_FALSE(reports.isEmpty());
    EXPECT_EQ(reports.last().sent, m_content.size());
    EXPECT_EQ(reports.last().total, m_content.size());
    EXPECT_EQ(TestSupport::readFile(stored(QString())), m_content);
}

// The guard's action, called while a directory request hangs: that request ends, and the upload
// is tried after it as after any directory request.
TEST(FtpUploadTimeoutTest, RequestTimeoutAbortsTheRequestRunningNow)
{
    HangingFtpJob job;
    ASSERT_TRUE(job.prepare());
    const VQJobInfoResult info = job.server.target(QStringLiteral("/a"));

    LogCapture log;
    FTPFileUpload uploader{CopyFolderCheck(job.copyFolder.path()), std::chrono::hours(1)};
    std::optional<QString> result;
    QCoro::Task<QString> pending = uploader.uploadFileWithFtpInfo(info, job.copy);
    pending.then([&result](const QString &done) { result = done; });
    ASSERT_TRUE(job.waitForFirstDirectoryRequest(kTestLimit));
    EXPECT_FALSE(result.has_value());

    uploader.requestTimeout();

    ASSERT_TRUE(TestSupport::waitUntil([&result] { return result.has_value(); }, kTestLimit));
    EXPECT_EQ(*result, "0");
    EXPECT_EQ(log.count("ftp requestTimeout"), 1);
    EXPECT_EQ(job.server.connectionCount(), 2);
    EXPECT_EQ(log.count("##ftp manager upload faild"), 1);
}

TEST(FtpUploadTimeoutTest, StartTimerFiresRequestTimeoutAndKeepsItsThreadsLoopRunning)
{
    LogCapture log;
    const FTPFileUpload uploader{CopyFolderCheck(), FTPFileUpload::kDirectoryRequestTimeout,
                                 std::chrono::milliseconds(50)};
    std::unique_ptr<QThread> thread(QThread::create([&uploader] { uploader.startTimer(); }));
    thread->start();

    EXPECT_TRUE(TestSupport::waitUntil([&log] { return log.count("ftp requestTimeout") == 1; },
                                       kTestLimit));
    EXPECT_FALSE(thread->isFinished());
    thread->quit();
    EXPECT_TRUE(thread->wait(QDeadlineTimer(kTestLimit)));
    EXPECT_EQ(log.count("ftp requestTimeout"), 1);
}

TEST(FtpUploadHelpersTest, RenameMovesTheFileOnlyToAFreeName)
{
    QTemporaryDir dir;
    const QString from = dir.filePath(QStringLiteral("job.pdf"));
    const QString free = dir.filePath(QStringLiteral("5A3F.pdf"));
    const QString taken = dir.filePath(QStringLiteral("taken.pdf"));
    ASSERT_TRUE(TestSupport::writeFile(from, "job"));
    ASSERT_TRUE(TestSupport::writeFile(taken, "other"));

    EXPECT_FALSE(FTPFileUpload::renameFileName(from, taken));
    EXPECT_EQ(TestSupport::readFile(taken), "other");
    EXPECT_FALSE(FTPFileUpload::renameFileName(dir.filePath(QStringLiteral("gone.pdf")), free));
    EXPECT_TRUE(FTPFileUpload::renameFileName(from, free));
    EXPECT_EQ(TestSupport::readFile(free), "job");
    EXPECT_FALSE(QFile::exists(from));
}

TEST(FtpUploadHelpersTest, StringWithUUIDIsANewUpperCaseCanonicalUuid)
{
    static const QRegularExpression canonical(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    const QString first = FTPFileUpload::stringWithUUID();
    EXPECT_TRUE(canonical.match(first).hasMatch()) << first.toStdString();
    EXPECT_NE(first, FTPFileUpload::stringWithUUID());
}

TEST(FtpUploadPortTest, PortTextGivesItsLeadingNumber)
{
    const QList<QPair<QString, long>> cases = {
        {"2121", 2121}, {"", 0}, {QString(), 0}, {"x", 0}, {"21x", 21}, {" 990", 990},
    };
    for (const auto &[text, port] : cases) {
        EXPECT_EQ(FTPFileUpload::portNumber(text), port) << text.toStdString();
    }
}

} // namespace
