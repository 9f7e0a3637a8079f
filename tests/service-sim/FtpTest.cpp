#include "SimFixture.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTcpSocket>

#include <csignal>

namespace {

constexpr int kCurlLimitSeconds = 20;
constexpr int kCurlCouldNotConnect = 7;
constexpr int kCurlLoginDenied = 67;

struct FtpTarget
{
    QString ip;
    QString port;
    QString user;
    QString pwd;
};

FtpTarget targetOf(const QJsonObject &answer)
{
    return {answer.value("ip").toString(), answer.value("port").toString(),
            answer.value("user").toString(), answer.value("pwd").toString()};
}

// Stores a file with curl's command line, creating each directory level as the client does.
int curlStore(const QString &localFile, const FtpTarget &target, const QString &dir)
{
    QProcess curl;
    curl.start("curl", {"--silent", "--show-error", "--noproxy", "*", "--max-time",
                        QString::number(kCurlLimitSeconds), "--ftp-create-dirs", "--user",
                        target.user + ':' + target.pwd, "-T", localFile,
                        QStringLiteral("ftp://%1:%2%3").arg(target.ip, target.port, dir)});
    if (!curl.waitForFinished((kCurlLimitSeconds + 5) * 1000)) {
        curl.kill();
        curl.waitForFinished();
        return -1;
    }
    return curl.exitCode();
}

} // namespace

class SimFtpTest : public SimFixture
{
protected:
    void SetUp() override
    {
        start(Ftp::Own);
        m_source = QDir(m_dir.path()).filePath(kJobFileName);
        ASSERT_TRUE(TestSupport::writeFile(m_source, "%PDF-1.4\n%%EOF\n"));
    }

    QString m_source;
};

TEST_F(SimFtpTest, JobAndPublicTargetsStoreIntoTheRoot)
{
    const QJsonObject identity = login();
    const auto job = m_client->postJson(registration(identity));
    ASSERT_EQ(job.errcode(), 0);
    EXPECT_EQ(job.json.value("ip").toString(), "127.0.0.1");
    EXPECT_EQ(job.json.value("port").toString(), QString::number(m_sim->ftpPort()));
    const QString dir = job.json.value("dir").toString();

    ASSERT_EQ(curlStore(m_source, targetOf(job.json), dir), 0);
    const QString stored = QDir(m_sim->ftpRoot()).filePath(dir.mid(1) + kJobFileName);
    EXPECT_EQ(TestSupport::readFile(stored), TestSupport::readFile(m_source))
        << stored.toStdString();

    // The public target reaches the same root under its own login.
    const auto publicTarget = m_client->postJson(m_client->withFreshKeys(
        {{"funType", "getFtpInfo"},
         {"isSystem", "1"},
         {"user_id", QString::number(identity.value("userId").toInteger())}},
        kEntkey));
    ASSERT_EQ(publicTarget.errcode(), 0);
    EXPECT_NE(publicTarget.json.value("user"), job.json.value("user"));
    ASSERT_TRUE(QFile::remove(stored));
    ASSERT_EQ(curlStore(m_source, targetOf(publicTarget.json), dir), 0);
    EXPECT_TRUE(QFile::exists(stored));
}

TEST_F(SimFtpTest, WrongPasswordAndClosedPortFail)
{
    const auto job = m_client->postJson(registration(login()));
    ASSERT_EQ(job.errcode(), 0);
    FtpTarget wrongPassword = targetOf(job.json);
    wrongPassword.pwd += "x";
    EXPECT_EQ(curlStore(m_source, wrongPassword, "/"), kCurlLoginDenied);

    FtpTarget closed = targetOf(job.json);
    closed.port = QString::number(m_sim->ftpTargets().unreachablePort);
    EXPECT_EQ(curlStore(m_source, closed, "/"), kCurlCouldNotConnect);
}

TEST_F(SimFtpTest, StopEndsTheFtpServer)
{
    const qint64 pid = m_sim->ftpProcessId();
    const quint16 port = m_sim->ftpPort();
    ASSERT_GT(pid, 0);
    m_sim->stop();
    EXPECT_NE(::kill(pid_t(pid), 0), 0);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(socket.waitForConnected(3000));
}
