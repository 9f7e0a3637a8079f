#include "HttpFetch.h"
#include "RecordingPushDelegate.h"

#include "client/network/TRSocketManager.h"
#include "foundation/BaseTools.h"
#include "foundation/TextHelpers/Md5.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>

#include <chrono>
#include <csignal>

using namespace std::chrono_literals;

namespace {

constexpr auto kProcessLimit = 15s;

// The simulator program, run with free ports and an external FTP server that is never contacted.
class SimProcess
{
public:
    ~SimProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(int(std::chrono::milliseconds(kProcessLimit).count()));
        }
    }

    bool start()
    {
        m_process.start(QStringLiteral(VQM_SERVICE_SIM_BINARY),
                        {"--http-port", "0", "--push-port", "0", "--qr-port", "0", "--account",
                         "ACME:alice:secret", "--external-ftp", "127.0.0.1:21:ftp:ftp"});
        const bool ready = TestSupport::waitUntil(
            [&] {
                m_output += m_process.readAllStandardOutput();
                return m_output.contains('\n') || m_process.state() == QProcess::NotRunning;
            },
            kProcessLimit);
        static const QRegularExpression line(
            "^vqm-service-sim listening http=(\\d+) ftp=\\d+ push=(\\d+) qr=(\\d+)");
        const auto match = line.match(QString::fromUtf8(m_output));
        if (!ready || !match.hasMatch())
            return false;
        httpPort = match.captured(1).toUShort();
        pushPort = match.captured(2).toUShort();
        qrPort = match.captured(3).toUShort();
        return true;
    }

    QUrl api(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(httpPort).arg(path));
    }

    QProcess m_process;
    QByteArray m_output;
    quint16 httpPort = 0;
    quint16 pushPort = 0;
    quint16 qrPort = 0;
};

TEST(SimPushProcess, QrConfirmationAndControlRequestsReachTheClient)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.m_output.toStdString();
    EXPECT_NE(sim.pushPort, 0);
    EXPECT_NE(sim.qrPort, 0);

    RecordingPushDelegate delegate;
    TRSocketManager client;
    client.setDelegate(&delegate);
    client.connectWithHost(QStringLiteral("127.0.0.1"), sim.pushPort);
    const QString code = client.qrCodeIndentify();
    HttpFetch http;
    ASSERT_TRUE(TestSupport::waitUntil([&] {
        const QJsonArray connections =
            http.get(sim.api("/sim/push")).json()["connections"].toArray();
        return !connections.isEmpty() && connections[0]["codes"].toArray().contains(code);
    }));

    const QString date = BaseTools::getCurrentTimes();
    const QUrl confirm(
        QStringLiteral("http://127.0.0.1:%1/ferrolux/mobile/index.php?act=index&"
                       "op=scanlogin&DalvemorKeys=%2&date=%3&type=1&code=%4&"
                       "confirm=1&user=alice")
            .arg(sim.qrPort)
            .arg(Md5::MD5ForUpper32Bate(QStringLiteral("~#!$$!#~") + date), date, code));
    EXPECT_EQ(http.get(confirm).status, 200);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return delegate.packets.size() == 1; }));
    EXPECT_TRUE(delegate.packets[0].content.startsWith(code + ";{"));

    const QJsonObject twoPackets{
        {"code", code},
        {"packets",
         QJsonArray{QJsonObject{{"content", "a"}}, QJsonObject{{"mainCmd", 7}, {"content", "b"}}}},
        {"splitAt", 5}};
    EXPECT_EQ(http.postJson(sim.api("/sim/push/send"), twoPackets).json()["connections"], 1);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return delegate.packets.size() == 3; }));
    EXPECT_EQ(delegate.packets[1].mainCmd, 4525u);
    EXPECT_EQ(delegate.packets[2].mainCmd, 7u);
    EXPECT_EQ(delegate.packets[2].content, QStringLiteral("b"));

    EXPECT_EQ(http.postJson(sim.api("/sim/push/close"), {{"code", code}}).json()["closed"], 1);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !client.isConnected(); }));
    EXPECT_FALSE(http.get(sim.api("/sim/push")).json()["connections"][0]["open"].toBool());
    EXPECT_EQ(http.postJson(sim.api("/sim/push/send"), {{"code", code}}).status, 400);

    ::kill(pid_t(sim.m_process.processId()), SIGTERM);
    EXPECT_TRUE(
        sim.m_process.waitForFinished(int(std::chrono::milliseconds(kProcessLimit).count())));
    EXPECT_EQ(sim.m_process.exitCode(), 0);
}

TEST(SimPushProcess, BadPortOptionsAreRefused)
{
    for (const char *option : {"--push-port", "--qr-port"}) {
        SCOPED_TRACE(option);
        QProcess sim;
        sim.start(QStringLiteral(VQM_SERVICE_SIM_BINARY), {option, "70000"});
        ASSERT_TRUE(sim.waitForFinished(int(std::chrono::milliseconds(kProcessLimit).count())));
        EXPECT_EQ(sim.exitCode(), 2);
        EXPECT_TRUE(sim.readAllStandardError().contains(option));
    }
}

} // namespace
