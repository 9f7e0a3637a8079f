// The program itself, run as a child process the way other tests and the demo start it.

#include "SimHttpClient.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <csignal>

using namespace std::chrono_literals;

namespace {

constexpr int kProcessLimitMs = 15000;

class SimProcess
{
public:
    ~SimProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kProcessLimitMs);
        }
    }

    // Starts the program and waits for its listening line.
    bool start(const QStringList &arguments)
    {
        m_process.start(VQM_SERVICE_SIM_BINARY, arguments);
        static const QRegularExpression listening(
            "^vqm-service-sim listening http=(\\d+) ftp=(\\d+)(.*)$");
        const bool ready = TestSupport::waitUntil(
            [&] {
                m_output += m_process.readAllStandardOutput();
                return m_output.contains('\n') || m_process.state() == QProcess::NotRunning;
            },
            std::chrono::milliseconds(kProcessLimitMs));
        const auto match = listening.match(QString::fromUtf8(m_output).section('\n', 0, 0));
        if (!ready || !match.hasMatch())
            return false;
        httpPort = match.captured(1).toUShort();
        ftpPort = match.captured(2).toUShort();
        rest = match.captured(3);
        return true;
    }

    QProcess m_process;
    QByteArray m_output;
    quint16 httpPort = 0;
    quint16 ftpPort = 0;
    QString rest;
};

bool acceptsConnections(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(3000);
}

} // namespace

TEST(SimProcessTest, ReportsPortsRecordsRequestsAndEndsCleanlyOnSigterm)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString record = QDir(dir.path()).filePath("requests.jsonl");
    const QString accounts = QDir(dir.path()).filePath("accounts.json");
    ASSERT_TRUE(TestSupport::writeFile(accounts, R"({"accounts": [{
        "entkey": "ACME", "userName": "alice", "password": "pw", "entId": 12, "userId": "34",
        "entname": "Acme", "email": "a@acme.example"}]})"));

    SimProcess sim;
    ASSERT_TRUE(
        sim.start({"--http-port", "0", "--accounts", accounts, "--record", record, "--ftp-root",
                   QDir(dir.path()).filePath("root"), "--content-type", "application/json"}))
        << sim.m_output.toStdString();
    EXPECT_TRUE(sim.rest.contains("ftp-root=" + QDir(dir.path()).filePath("root")));
    EXPECT_TRUE(acceptsConnections(sim.ftpPort));

    SimHttpClient client(sim.httpPort);
    const QJsonObject keys = client.fetchKeys("ACME");
    const auto login = client.postJson({{"funType", "userLogin"},
                                        {"date", keys.value("date")},
                                        {"DalvemorKeys", keys.value("DalvemorKeys")},
                                        {"entkey", "ACME"},
                                        {"userName", "alice"},
                                        {"userPwd", "pw"}});
    EXPECT_EQ(login.contentType, "application/json");
    EXPECT_EQ(login.json.value("entId").toInt(), 12);
    EXPECT_EQ(login.json.value("userId").toInt(), 34);
    EXPECT_EQ(login.json.value("entname").toString(), "Acme");

    const QList<QByteArray> lines = TestSupport::readFile(record).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    const QJsonObject loginEntry = QJsonDocument::fromJson(lines[1]).object();
    EXPECT_EQ(loginEntry.value("funType").toString(), "userLogin");
    EXPECT_EQ(loginEntry.value("members").toObject().value("userName").toString(), "alice");
    EXPECT_EQ(loginEntry.value("reply").toObject().value("errcode").toInt(-1), 0);

    sim.m_process.terminate();
    ASSERT_TRUE(sim.m_process.waitForFinished(kProcessLimitMs));
    EXPECT_EQ(sim.m_process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.m_process.exitCode(), 0);
    EXPECT_FALSE(acceptsConnections(sim.ftpPort));
}

TEST(SimProcessTest, KilledSimulatorLeavesNoFtpServerBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--account", "ACME:alice:pw", "--ftp-root", dir.path()}))
        << sim.m_output.toStdString();
    ASSERT_TRUE(acceptsConnections(sim.ftpPort));
    sim.m_process.kill();
    ASSERT_TRUE(sim.m_process.waitForFinished(kProcessLimitMs));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !acceptsConnections(sim.ftpPort); }, 10s));
}

// Only the FTP root the simulator made for itself goes when it stops, with everything in it.
TEST(SimProcessTest, StoppedSimulatorRemovesOnlyTheFtpRootItMade)
{
    struct Case
    {
        const char *name;
        bool rootGiven;
        int stopSignal;
    };
    const Case cases[] = {
        {"made root, SIGTERM", false, SIGTERM},
        {"made root, SIGINT", false, SIGINT},
        {"given root, SIGTERM", true, SIGTERM},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        // A temporary folder of its own, so that nothing else there can be mistaken for its root.
        const QString temporary = QDir(dir.path()).filePath("tmp");
        ASSERT_TRUE(QDir().mkpath(temporary));
        const QString givenRoot = QDir(dir.path()).filePath("given-root");
        QStringList arguments{"--account", "ACME:alice:pw"};
        if (test.rootGiven)
            arguments << "--ftp-root" << givenRoot;

        SimProcess sim;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", temporary);
        sim.m_process.setProcessEnvironment(environment);
        ASSERT_TRUE(sim.start(arguments)) << sim.m_output.toStdString();
        const QString root = sim.rest.section("ftp-root=", 1).trimmed();
        if (test.rootGiven)
            EXPECT_EQ(root, givenRoot);
        else
            EXPECT_EQ(QFileInfo(root).path(), temporary);
        ASSERT_TRUE(QFileInfo(root).isDir());
        ASSERT_TRUE(QDir().mkpath(QDir(root).filePath("job/dir")));
        ASSERT_TRUE(TestSupport::writeFile(QDir(root).filePath("job/dir/upload.pdf"), "%PDF-1.4"));

        ASSERT_EQ(::kill(pid_t(sim.m_process.processId()), test.stopSignal), 0);
        ASSERT_TRUE(sim.m_process.waitForFinished(kProcessLimitMs));
        EXPECT_EQ(sim.m_process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(sim.m_process.exitCode(), 0);
        EXPECT_FALSE(acceptsConnections(sim.ftpPort));
        EXPECT_EQ(QFileInfo::exists(QDir(root).filePath("job/dir/upload.pdf")), test.rootGiven);
        EXPECT_TRUE(QDir(temporary).isEmpty())
            << QDir(temporary).entryList().join(' ').toStdString();
    }
}

TEST(SimProcessTest, HelpDocumentsEveryOption)
{
    QProcess help;
    help.start(VQM_SERVICE_SIM_BINARY, {"--help"});
    ASSERT_TRUE(help.waitForFinished(kProcessLimitMs));
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    for (const char *option :
         {"--http-port", "--bind", "--accounts", "--account", "--ftp-root", "--ftp-port",
          "--external-ftp", "--record", "--content-type", "--fault", "--python", "--ftp-script",
          "/sim/requests", "/sim/control", "listening http="})
        EXPECT_TRUE(text.contains(option)) << option;
}

TEST(SimProcessTest, BadOptionsStopBeforeListening)
{
    const QStringList cases[] = {
        {"--http-port", "http"},
        {"--external-ftp", "127.0.0.1:21"},
        {"--fault", "colour=red"},
        {"--account", "ACME:alice"},
        {"--bind", "localhost.invalid"},
        {"--external-ftp", "127.0.0.1:2121:u:p", "--accounts", "/nonexistent/accounts.json"},
    };
    for (const QStringList &arguments : cases) {
        QProcess sim;
        sim.start(VQM_SERVICE_SIM_BINARY, arguments);
        ASSERT_TRUE(sim.waitForFinished(kProcessLimitMs)) << arguments.join(' ').toStdString();
        EXPECT_NE(sim.exitCode(), 0) << arguments.join(' ').toStdString();
        EXPECT_TRUE(sim.readAllStandardOutput().isEmpty());
        EXPECT_TRUE(sim.readAllStandardError().contains("vqm-service-sim"));
    }
}
