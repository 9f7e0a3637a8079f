#include "SimFixture.h"

#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QTcpSocket>

using namespace std::chrono_literals;

class SimFaultTest : public SimFixture
{
protected:
    void setFaults(const QJsonArray &faults)
    {
        const auto answer = m_client->postControl({{"faults", faults}});
        ASSERT_EQ(answer.status, 200) << answer.body.toStdString();
    }

    QJsonObject loginMembers()
    {
        return m_client->withFreshKeys({{"funType", "userLogin"},
                                        {"entkey", kEntkey},
                                        {"userName", kUser},
                                        {"userPwd", kPassword}},
                                       kEntkey);
    }
};

TEST_F(SimFaultTest, RefusalHitsOnlyItsCallForItsTimesAndSpendsNothing)
{
    start();
    setFaults({QJsonObject{{"funType", "userLogin"}, {"errcode", 90}, {"times", 1}}});
    const QJsonObject members = loginMembers(); // its getKeys is not refused
    EXPECT_EQ(m_client->postJson(members).errcode(), 90);
    // The refused request spent neither the pair nor the fault's remaining answers.
    EXPECT_EQ(m_client->postJson(members).errcode(), 0);
    EXPECT_TRUE(m_client->get("/sim/control").json.value("faults").toArray().isEmpty());
}

TEST_F(SimFaultTest, SuccessCodeAnswersNormallyWithThatCode)
{
    start();
    setFaults({QJsonObject{{"funType", "getKeys"}, {"errcode", 21}}});
    const auto answer = m_client->postForm({{"funType", "getKeys"}, {"entkey", kEntkey}});
    EXPECT_EQ(answer.errcode(), 21);
    EXPECT_FALSE(answer.json.value("DalvemorKeys").toString().isEmpty());
}

TEST_F(SimFaultTest, ContentTypeAndBodyCanBeWrong)
{
    start();
    const struct
    {
        const char *name;
        QJsonObject fault;
        QByteArray contentType; // expected
        std::optional<QByteArray> body;
    } cases[] = {
        {"plain text type", {{"contentType", "text/plain"}}, "text/plain", std::nullopt},
        {"HTML error page",
         {{"body", "<html>Bad gateway</html>"}},
         "text/html; charset=UTF-8",
         "<html>Bad gateway</html>"},
        {"empty body", {{"body", ""}}, "text/html; charset=UTF-8", ""},
    };
    for (const auto &c : cases) {
        setFaults({c.fault});
        const auto answer = m_client->postForm({{"funType", "getKeys"}, {"entkey", kEntkey}});
        EXPECT_EQ(answer.contentType, c.contentType) << c.name;
        if (c.body)
            EXPECT_EQ(answer.body, *c.body) << c.name;
        else
            EXPECT_EQ(answer.errcode(), 0) << c.name;
    }
    setFaults({});
    ASSERT_EQ(m_client->postControl({{"contentType", "application/json"}}).status, 200);
    EXPECT_EQ(m_client->postForm({{"funType", "getKeys"}, {"entkey", kEntkey}}).contentType,
              "application/json");
}

TEST_F(SimFaultTest, DelayedAnswerComesLateWithoutBlockingOtherRequests)
{
    start();
    setFaults({QJsonObject{{"funType", "getKeys"}, {"delayMs", 1500}}});
    QNetworkAccessManager network;
    QNetworkRequest request(m_client->url("/ferrolux/serviceHttp/serviceHttp.php"));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    std::unique_ptr<QNetworkReply> delayed(network.post(
        request, SimHttpClient::encodeForm({{"funType", "getKeys"}, {"entkey", kEntkey}})));

    const auto meanwhile = m_client->get("/sim/requests");
    EXPECT_EQ(meanwhile.status, 200);
    EXPECT_FALSE(delayed->isFinished());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return delayed->isFinished(); }, 10s));
    EXPECT_EQ(QJsonDocument::fromJson(delayed->readAll()).object().value("errcode").toInt(-1), 0);
}

TEST_F(SimFaultTest, ClientGoneBeforeADelayedAnswerDoesNoHarm)
{
    start();
    setFaults({QJsonObject{{"delayMs", 300}, {"times", 1}}});
    {
        QNetworkAccessManager network;
        QNetworkRequest request(m_client->url("/ferrolux/serviceHttp/serviceHttp.php"));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        std::unique_ptr<QNetworkReply> reply(network.post(request, "funType=getKeys&entkey=ACME"));
        TestSupport::waitUntil([&] { return m_sim->context().requests.entries().size() == 1; });
        reply->abort();
    }
    TestSupport::spin(500ms);
    EXPECT_EQ(m_client->postForm({{"funType", "getKeys"}, {"entkey", kEntkey}}).errcode(), 0);
}

TEST_F(SimFaultTest, UnreachableTargetNamesAClosedPort)
{
    start();
    setFaults({QJsonObject{{"funType", "addSubmitJobInfo"}, {"ftpUnreachable", true}}});
    const QJsonObject identity = login();
    const auto job = m_client->postJson(registration(identity));
    ASSERT_EQ(job.errcode(), 0);
    EXPECT_EQ(job.json.value("ip").toString(), "127.0.0.1");
    const quint16 port = job.json.value("port").toString().toUShort();
    EXPECT_EQ(port, m_sim->ftpTargets().unreachablePort);

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(socket.waitForConnected(5000));
    EXPECT_EQ(socket.error(), QAbstractSocket::ConnectionRefusedError);

    // The public target is not affected by a fault for job registration.
    const auto publicTarget = m_client->postJson(m_client->withFreshKeys(
        {{"funType", "getFtpInfo"},
         {"isSystem", "1"},
         {"user_id", QString::number(identity.value("userId").toInteger())}},
        kEntkey));
    EXPECT_EQ(publicTarget.json.value("port").toString(), "2121");
}

TEST_F(SimFaultTest, InvalidControlRequestChangesNothing)
{
    start();
    setFaults({QJsonObject{{"funType", "getKeys"}, {"errcode", 90}}});
    const QJsonObject invalid[] = {
        {{"faults", QJsonArray{QJsonObject{{"errcode", "ninety"}}}}},
        {{"faults", QJsonArray{QJsonObject{{"delay", 5}}}}},
        {{"faults", QJsonArray{QJsonObject{}}}, {"colour", "red"}},
        {{"contentType", 5}},
    };
    for (const QJsonObject &settings : invalid) {
        const auto answer = m_client->postControl(settings);
        EXPECT_EQ(answer.status, 400) << QJsonDocument(settings).toJson().toStdString();
    }
    const auto state = m_client->get("/sim/control").json;
    EXPECT_EQ(state.value("faults").toArray().size(), 1);
    EXPECT_EQ(m_client->postForm({{"funType", "getKeys"}, {"entkey", kEntkey}}).errcode(), 90);
}

TEST_F(SimFaultTest, FaultsFromTheCommandLineApplyFromTheStart)
{
    SimOptions simOptions = options(Ftp::External);
    const auto rule = FaultRule::fromCommandLine("call=getKeys,errcode=90,times=1");
    ASSERT_TRUE(rule.ok());
    simOptions.faults = {rule.value()};
    start(simOptions);
    EXPECT_EQ(m_client->postForm({{"funType", "getKeys"}, {"entkey", kEntkey}}).errcode(), 90);
    EXPECT_EQ(m_client->postForm({{"funType", "getKeys"}, {"entkey", kEntkey}}).errcode(), 0);
}

TEST(SimFaultRuleTest, CommandLineForms)
{
    const auto full = FaultRule::fromCommandLine(
        "call=getFtpInfo,errcode=2,content-type=text/plain,delay=250,ftp-unreachable,times=3");
    ASSERT_TRUE(full.ok()) << full.error().description.toStdString();
    EXPECT_EQ(full->funType, "getFtpInfo");
    EXPECT_EQ(full->errcode, 2);
    EXPECT_EQ(full->contentType, QByteArray("text/plain"));
    EXPECT_EQ(full->delayMs, 250);
    EXPECT_TRUE(full->ftpUnreachable);
    EXPECT_EQ(full->times, 3);

    const auto body = FaultRule::fromCommandLine("call=userLogin,body=<p>a, b</p>");
    ASSERT_TRUE(body.ok());
    EXPECT_EQ(body->funType, "userLogin");
    EXPECT_EQ(body->body, QByteArray("<p>a, b</p>"));
    EXPECT_EQ(FaultRule::fromCommandLine("body=")->body, QByteArray(""));

    for (const char *bad : {"delay=soon", "colour=red", "times=0", "errcode=", "ftp-unreachable=1"})
        EXPECT_FALSE(FaultRule::fromCommandLine(bad).ok()) << bad;
}
