// The client's end while a server hangs: the quit arrives while an FTP directory request or an
// HTTP request waits for an answer that never comes. The work is aborted rather than waited for,
// and the process ends with the quit's status.
//
// The end aborts FTP exchanges for the rest of the process: these tests have a binary of their own.

#include "HangingFtpServer.h"

#include "support/TestSupport.h"

#include "client/app/ClientShutdown.h"
#include "client/network/FTPFileUpload.h"
#include "client/network/HTTPManager.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

using namespace std::chrono_literals;

namespace {

// Far beyond the end's own limit; only a process that would never end reaches it.
constexpr auto kEndLimit = 20s;
constexpr auto kRequestLimit = 20s;
// Longer than any test: the work ends only when the client's end aborts it.
constexpr auto kNoTimeout = std::chrono::hours(1);

// Accepts connections and reads what arrives, but never answers.
class SilentHttpServer
{
public:
    bool listen()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *client = m_server.nextPendingConnection()) {
                QObject::connect(client, &QTcpSocket::readyRead,
                                 [this, client] { m_received += client->readAll(); });
            }
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return m_server.serverPort(); }
    QByteArray received() const { return m_received; }

private:
    QTcpServer m_server;
    QByteArray m_received;
};

class ClientShutdownTest : public ::testing::Test
{
protected:
    void startProbe(const QStringList &arguments)
    {
        m_probe.setProcessChannelMode(QProcess::ForwardedChannels);
        m_probe.start(QStringLiteral(SHUTDOWN_PROBE), arguments);
        ASSERT_TRUE(m_probe.waitForStarted());
    }

    // The quit item, then the wait for the process to end.
    bool quitAndWaitForTheEnd()
    {
        m_probe.write("quit\n");
        return TestSupport::waitUntil([this] { return m_probe.state() == QProcess::NotRunning; },
                                      kEndLimit);
    }

    void TearDown() override
    {
        if (m_probe.state() != QProcess::NotRunning) {
            m_probe.kill();
            m_probe.waitForFinished();
        }
    }

    QProcess m_probe;
};

TEST_F(ClientShutdownTest, QuitDuringAHangingFtpRequestEndsTheProcess)
{
    HangingFtpJob job;
    ASSERT_TRUE(job.prepare());

    ASSERT_NO_FATAL_FAILURE(startProbe({"ftp", QString::number(job.server.port()), job.copy}));
    ASSERT_TRUE(job.waitForFirstDirectoryRequest(kRequestLimit));

    ASSERT_TRUE(quitAndWaitForTheEnd());
    EXPECT_EQ(m_probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_probe.exitCode(), 0);
}

TEST_F(ClientShutdownTest, QuitDuringAHangingHttpRequestEndsTheProcess)
{
    SilentHttpServer server;
    ASSERT_TRUE(server.listen());

    ASSERT_NO_FATAL_FAILURE(startProbe({"http", QString::number(server.port())}));
    ASSERT_TRUE(TestSupport::waitUntil([&server] { return server.received().startsWith("POST "); },
                                       kRequestLimit));

    ASSERT_TRUE(quitAndWaitForTheEnd());
    EXPECT_EQ(m_probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_probe.exitCode(), 0);
}

TEST(ClientShutdownWorkTest, HangingFtpRequestIsAbortedSoThatThePoolDrains)
{
    HangingFtpJob job;
    ASSERT_TRUE(job.prepare());
    FTPFileUpload uploader{CopyFolderCheck(job.copyFolder.path()), kNoTimeout};
    QCoro::Task<QString> upload =
        uploader.uploadFileWithFtpInfo(job.server.target(QStringLiteral("/a")), job.copy);
    ASSERT_TRUE(job.waitForFirstDirectoryRequest(kRequestLimit));

    HTTPManager http;
    EXPECT_TRUE(ClientShutdown::abortInFlightWork(http));
}

TEST(ClientShutdownWorkTest, HangingHttpRequestIsAbortedAndItsCallerToldAtOnce)
{
    SilentHttpServer server;
    ASSERT_TRUE(server.listen());
    HTTPManager http(kNoTimeout);
    std::optional<Result<QJsonObject>> outcome;
    QCoro::Task<Result<QJsonObject>> request =
        http.POST(QStringLiteral("http://127.0.0.1:%1/").arg(server.port()), {});
    request.then([&outcome](const Result<QJsonObject> &done) { outcome = done; });
    ASSERT_TRUE(TestSupport::waitUntil([&server] { return server.received().startsWith("POST "); },
                                       kRequestLimit));

    EXPECT_TRUE(ClientShutdown::abortInFlightWork(http));
    ASSERT_TRUE(outcome.has_value());
    EXPECT_FALSE(*outcome);
    EXPECT_EQ(outcome->error().code, -int(QNetworkReply::OperationCanceledError));
}

} // namespace
