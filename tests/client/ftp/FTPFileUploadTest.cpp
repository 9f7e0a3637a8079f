#include "client/network/FTPFileUpload.h"
#include "HangingFtpServer.h"
#include "support/FtpServerFixture.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

#include <optional>

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
    FTPFileUpload uploader(guard);
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
    HangingFtpServer server;
    ASSERT_TRUE(server.listen());
    QTemporaryDir local;
    const QString pdf = local.filePath(QStringLiteral("job.pdf"));
    ASSERT_TRUE(TestSupport::writeFile(pdf, "%PDF-1.4\n%%EOF\n"));
    VQJobInfoResult info;
    info.ip = QStringLiteral("127.0.0.1");
    info.port = QString::number(server.port());
    info.user = QStringLiteral("u");
    info.pwd = QStringLiteral("p");
    info.dir = QStringLiteral("/a/b");

    LogCapture log;
    const std::optional<Outcome> outcome = runUpload(info, pdf);

    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, "0");
    EXPECT_EQ(log.count("ftp requestTimeout"), 2);
    EXPECT_EQ(server.commands().filter("MKD"), (QStringList{"MKD a", "MKD a/b"}));
    // Two aborted directory requests, then the upload on a connection of its own.
    EXPECT_EQ(server.connectionCount(), 3);
    EXPECT_EQ(log.count("##ftp manager upload faild"), 1);
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
