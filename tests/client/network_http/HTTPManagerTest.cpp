#include "ScriptedHttpServer.h"
#include "TaskWaiter.h"
#include "support/LogCapture.h"

#include "client/network/HTTPManager.h"
#include "client/platform/Localizable.h"
#include "support/CoarseTimerPhase.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using Reply = ScriptedHttpServer::Reply;

class HTTPManagerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { Localizable::install(QLocale(QLocale::English)); }

    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        transport.setHost(server.url(QStringLiteral("/api")));
    }

    Result<QJsonObject> post(const QJsonObject &parameters)
    {
        auto result = TaskWaiter::finish(
            transport.requestWithParameters(parameters, HTTPManager::Method::POST));
        EXPECT_TRUE(result.has_value()) << "the request did not end";
        return result.value_or(Error{QStringLiteral("test"), -1, QStringLiteral("no end")});
    }

    Result<QJsonObject> answerTo(Reply reply)
    {
        server.setReply(std::move(reply));
        return post(QJsonObject{{"funType", "getKeys"}});
    }

    ScriptedHttpServer server;
    HTTPManager transport;
};

// ---- how replies are judged

struct AcceptedCase
{
    const char *name;
    QByteArray contentType;
    QByteArray body;
};

class AcceptedReply : public HTTPManagerTest, public ::testing::WithParamInterface<AcceptedCase>
{};

TEST_P(AcceptedReply, FulfilsWithTheWholeReplyObject)
{
    const AcceptedCase &c = GetParam();
    const Result<QJsonObject> result = answerTo({200, c.contentType, c.body});
    ASSERT_TRUE(result.ok()) << result.error().description.toStdString();
    EXPECT_EQ(result.value(), QJsonDocument::fromJson(c.body).object());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, AcceptedReply,
    ::testing::Values(
        AcceptedCase{"errcode0", "application/json", R"({"errcode": 0, "date": "d", "n": 1})"},
        AcceptedCase{"errcode21", "application/json", R"({"errcode": 21, "jobId": "7"})"},
        AcceptedCase{"missingErrcode", "application/json", R"({"jobId": "7"})"},
        AcceptedCase{"errcodeZeroAsText", "application/json", R"({"errcode": "0"})"},
        AcceptedCase{"htmlContentType", "text/html; charset=UTF-8", R"({"errcode": 0})"},
        AcceptedCase{"javascriptContentType", "text/javascript", R"({"errcode": "21"})"}),
    [](const auto &info) { return info.param.name; });

struct RejectedCase
{
    const char *name;
    Reply reply;
    const char *domain;
    int code;
};

class RejectedReply : public HTTPManagerTest, public ::testing::WithParamInterface<RejectedCase>
{};

TEST_P(RejectedReply, RejectsWithTheExpectedError)
{
    const RejectedCase &c = GetParam();
    LogCapture log;
    const Result<QJsonObject> result = answerTo(c.reply);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().domain, QString::fromLatin1(c.domain));
    EXPECT_EQ(result.error().code, c.code);
    EXPECT_FALSE(result.error().description.isEmpty());
    EXPECT_EQ(log.text().count(QStringLiteral("!!error: ")), 1) << log.text().toStdString();
}

constexpr auto kService = HTTPManager::kServiceErrorDomain;
constexpr auto kTransport = HTTPManager::kTransportErrorDomain;

INSTANTIATE_TEST_SUITE_P(
    Replies, RejectedReply,
    ::testing::Values(
        RejectedCase{"errcode2", {200, "application/json", R"({"errcode": 2})"}, kService, 2},
        RejectedCase{"errcode2AsText", {200, "text/html", R"({"errcode": "2"})"}, kService, 2},
        RejectedCase{"errcodeNull", {200, "text/html", R"({"errcode": null})"}, kService, 999},
        RejectedCase{"errcodeObject", {200, "text/html", R"({"errcode": {}})"}, kService, 999},
        RejectedCase{"errcodeArray", {200, "text/html", R"({"errcode": [0]})"}, kService, 999},
        RejectedCase{"errcodeBool", {200, "text/html", R"({"errcode": false})"}, kService, 999},
        RejectedCase{"errcodeWord", {200, "text/html", R"({"errcode": "ok"})"}, kService, 999},
        RejectedCase{"htmlPage",
                     {200, "text/html", "<html><body>Fatal error</body></html>"},
                     kTransport,
                     HTTPManager::kErrorCannotParseResponse},
        RejectedCase{"emptyBody",
                     {200, "application/json", ""},
                     kTransport,
                     HTTPManager::kErrorCannotParseResponse},
        RejectedCase{"arrayReply",
                     {200, "application/json", R"([{"errcode": 0}])"},
                     kTransport,
                     HTTPManager::kErrorCannotParseResponse},
        RejectedCase{"bareString",
                     {200, "application/json", R"("errcode")"},
                     kTransport,
                     HTTPManager::kErrorCannotParseResponse},
        RejectedCase{"plainTextContentType",
                     {200, "text/plain", R"({"errcode": 0})"},
                     kTransport,
                     HTTPManager::kErrorUnacceptableContentType},
        RejectedCase{"serverError",
                     {500, "application/json", R"({"errcode": 0})"},
                     kTransport,
                     HTTPManager::kErrorBadServerResponse}),
    [](const auto &info) { return info.param.name; });

TEST_F(HTTPManagerTest, RefusalCarriesTheMessageOfItsCode)
{
    const Result<QJsonObject> result = answerTo({200, "application/json", R"({"errcode": 2})"});
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().description, QStringLiteral("Wrong password."));
    EXPECT_EQ(HTTPManager::parseNetErrCode(2), QStringLiteral("Wrong password."));
}

// ---- what is sent

TEST_F(HTTPManagerTest, PostSendsFormFieldsWithTheContentTypeHeader)
{
    const QString awkward = QStringLiteral("a&b=c+d %25 \u6253\u5370");
    ASSERT_TRUE(post(QJsonObject{{"funType", "getKeys"}, {"entkey", awkward}}).ok());

    ASSERT_EQ(server.requests().size(), 1);
    const ScriptedHttpServer::Request &request = server.requests().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/api");
    EXPECT_EQ(request.headers.value("content-type"),
              "application/x-www-form-urlencoded; charset=utf-8");
    const auto fields = ScriptedHttpServer::Request::formFields(request.body);
    EXPECT_EQ(fields.keys(), QStringList({"entkey", "funType"}));
    EXPECT_EQ(fields.value("entkey"), awkward);
    EXPECT_EQ(fields.value("funType"), "getKeys");
}

TEST_F(HTTPManagerTest, GetSendsTheFieldsInTheQueryOfHostAndApiName)
{
    auto result = TaskWaiter::finish(transport.requestWithApiName(
        QStringLiteral("/v1/info"), QJsonObject{{"id", "4 2"}}, HTTPManager::Method::GET));
    ASSERT_TRUE(result.has_value() && result->ok());

    ASSERT_EQ(server.requests().size(), 1);
    const ScriptedHttpServer::Request &request = server.requests().first();
    EXPECT_EQ(request.method, "GET");
    ASSERT_TRUE(request.target.startsWith("/api/v1/info?"));
    const auto fields = ScriptedHttpServer::Request::formFields(
        request.target.mid(request.target.indexOf('?') + 1));
    EXPECT_EQ(fields.value("id"), "4 2");
    EXPECT_TRUE(request.body.isEmpty());
}

struct QueryCase
{
    const char *name;
    const char *apiName;
    QJsonObject parameters;
    QMap<QString, QString> expectedFields;
};

TEST_F(HTTPManagerTest, GetKeepsAQueryTheUrlAlreadyHasAndAddsTheFields)
{
    const QueryCase cases[] = {
        {"fieldsOnly", "/v1/ftp", {{"id", "7"}}, {{"id", "7"}}},
        {"queryOnly",
         "/Token/get?grant_type=client_credential&client_id=x5",
         {},
         {{"grant_type", "client_credential"}, {"client_id", "x5"}}},
        {"queryAndFields",
         "/Token/get?grant_type=client_credential&client_id=x5",
         {{"id", "4 2"}, {"note", "a&b=c"}},
         {{"grant_type", "client_credential"},
          {"client_id", "x5"},
          {"id", "4 2"},
          {"note", "a&b=c"}}},
        {"escapedQueryKept", "/find?name=a%26b", {{"n", "1"}}, {{"name", "a&b"}, {"n", "1"}}},
        {"emptyQuery", "/v1/ftp?", {{"id", "7"}}, {{"id", "7"}}},
    };
    for (const QueryCase &c : cases) {
        const qsizetype before = server.requests().size();
        auto result = TaskWaiter::finish(transport.requestWithApiName(
            QLatin1String(c.apiName), c.parameters, HTTPManager::Method::GET));
        ASSERT_TRUE(result.has_value() && result->ok()) << c.name;
        ASSERT_EQ(server.requests().size(), before + 1) << c.name;
        const QByteArray &target = server.requests().last().target;
        const QByteArray path = QByteArray("/api") + QByteArray(c.apiName).split('?').first();
        EXPECT_EQ(target.left(target.indexOf('?')), path) << c.name;
        EXPECT_EQ(ScriptedHttpServer::Request::formFields(target.mid(target.indexOf('?') + 1)),
                  c.expectedFields)
            << c.name << ": " << target.toStdString();
    }
}

TEST_F(HTTPManagerTest, UnknownMethodSendsNothingAndFailsAtOnce)
{
    auto result = TaskWaiter::finish(transport.requestWithParameters(
        QJsonObject{{"funType", "getKeys"}}, HTTPManager::Method(2)));
    ASSERT_TRUE(result.has_value());
    ASSERT_FALSE(result->ok());
    EXPECT_EQ(result->error().code, HTTPManager::kErrorUnsupportedMethod);
    TestSupport::spin(100ms);
    EXPECT_TRUE(server.requests().isEmpty());
}

struct Completion
{
    std::optional<Result<QJsonObject>> result;
    QThread *thread = nullptr;
};

QCoro::Task<> recordCompletion(QCoro::Task<Result<QJsonObject>> task,
                               std::shared_ptr<Completion> completion)
{
    Result<QJsonObject> result = co_await std::move(task);
    completion->thread = QThread::currentThread();
    completion->result = std::move(result);
}

TEST_F(HTTPManagerTest, RequestStartedOnAnotherThreadContinuesOnTheTransportThread)
{
    auto completion = std::make_shared<Completion>();
    QThreadPool::globalInstance()->start([this, completion] {
        recordCompletion(transport.requestWithParameters(QJsonObject{{"funType", "getKeys"}},
                                                         HTTPManager::Method::POST),
                         completion);
    });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return completion->result.has_value(); }, 10s));
    EXPECT_TRUE(completion->result->ok());
    EXPECT_EQ(completion->thread, QThread::currentThread());
}

// ---- failures of the transport

TEST(HTTPManagerTimeout, ServerThatNeverAnswersTimesOutAtEachTransportsOwnLimit)
{
    auto silent = std::make_unique<ScriptedHttpServer>();
    ASSERT_TRUE(silent->start());
    silent->setReply(Reply{200, "application/json", "{}", false});
    // Long enough for a coarse timer to round it, started where the rounding would make it early.
    constexpr auto kShortTimeout = 1000ms;
    HTTPManager transport(kShortTimeout);
    transport.setHost(silent->url());
    // The transport every caller gets without a limit of its own, beside it.
    HTTPManager standard;
    standard.setHost(silent->url());

    CoarseTimerPhase::waitToStart(kShortTimeout);
    QElapsedTimer clock;
    clock.start();
    auto standardResult = std::make_shared<std::optional<Result<QJsonObject>>>();
    TaskWaiter::storeResult(
        standard.requestWithParameters(QJsonObject{{"a", "b"}}, HTTPManager::Method::POST),
        standardResult);
    auto result = TaskWaiter::finish(
        transport.requestWithParameters(QJsonObject{{"a", "b"}}, HTTPManager::Method::POST), 10s);
    ASSERT_TRUE(result.has_value()) << "no timeout within 10 s";
    ASSERT_FALSE(result->ok());
    EXPECT_EQ(result->error().code, HTTPManager::kErrorTimedOut);
    EXPECT_GE(clock.elapsed(), kShortTimeout.count());
    EXPECT_EQ(silent->requests().size(), 2);
    EXPECT_FALSE(standardResult->has_value()) << "the standard limit is far longer";

    // The standard request ends with the server's connection, before its transport goes.
    silent.reset();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return standardResult->has_value(); }, 10s));
    EXPECT_FALSE((*standardResult)->ok());
}

TEST(HTTPManagerConnection, RefusedConnectionRejectsWithANegativeCode)
{
    QTcpServer placeholder;
    ASSERT_TRUE(placeholder.listen(QHostAddress::LocalHost, 0));
    const quint16 port = placeholder.serverPort();
    placeholder.close();

    HTTPManager transport;
    transport.setHost(QStringLiteral("http://127.0.0.1:%1/api").arg(port));
    auto result = TaskWaiter::finish(
        transport.requestWithParameters(QJsonObject{{"a", "b"}}, HTTPManager::Method::POST));
    ASSERT_TRUE(result.has_value());
    ASSERT_FALSE(result->ok());
    EXPECT_EQ(result->error().domain, HTTPManager::kTransportErrorDomain);
    EXPECT_LT(result->error().code, 0);
    EXPECT_EQ(HTTPManager::parseNetErrCode(result->error().code),
              HTTPManager::parseNetErrCode(999));
}

TEST(HTTPManagerTls, SelfSignedCertificateForAnotherHostIsAccepted)
{
    QTemporaryDir folder;
    const QString certificate = folder.filePath(QStringLiteral("cert.pem"));
    const QString key = folder.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                   "/CN=service.other-host.example", "-keyout", key, "-out", certificate});
    ASSERT_TRUE(openssl.waitForFinished(30000));
    ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();

    ScriptedHttpServer server;
    ASSERT_TRUE(server.startTls(certificate, key));
    server.setReply(Reply{200, "application/json", R"({"errcode": 0, "secure": "yes"})"});
    HTTPManager transport;
    transport.setHost(server.url(QStringLiteral("/api")));
    ASSERT_TRUE(transport.host().startsWith(QStringLiteral("https://")));

    auto result = TaskWaiter::finish(
        transport.requestWithParameters(QJsonObject{{"a", "b"}}, HTTPManager::Method::POST));
    ASSERT_TRUE(result.has_value());
    ASSERT_TRUE(result->ok()) << result->error().description.toStdString();
    EXPECT_EQ(result->value().value("secure").toString(), "yes");
}

// ---- the log

TEST_F(HTTPManagerTest, PasswordsAreMaskedInTheLogOnly)
{
    LogCapture log;
    server.setReply(Reply{200, "application/json",
                          R"({"errcode": 0, "user": "ftpuser", "pwd": "ftp-secret",
                              "nested": {"ftp_pwd": "deep-secret"}})"});
    const QString jsonStr =
        QStringLiteral(R"({"funType":"userLogin","userName":"alice","userPwd":"login-secret"})");
    ASSERT_TRUE(post(QJsonObject{{"jsonStr", jsonStr}, {"password", "plain-secret"}}).ok());

    const QString text = log.text();
    for (const char *secret : {"login-secret", "plain-secret", "ftp-secret", "deep-secret"})
        EXPECT_FALSE(text.contains(QLatin1String(secret))) << secret;
    EXPECT_GE(text.count(QStringLiteral("******")), 4);
    for (const char *kept : {"##request: 1, url: ", "##response: ", "alice", "ftpuser"})
        EXPECT_TRUE(text.contains(QLatin1String(kept))) << kept;
    EXPECT_TRUE(text.contains(QStringLiteral("f: "))) << "client lines carry their prefix";

    // The request itself is sent as given.
    ASSERT_EQ(server.requests().size(), 1);
    const auto fields = ScriptedHttpServer::Request::formFields(server.requests().first().body);
    EXPECT_EQ(fields.value("jsonStr"), jsonStr);
    EXPECT_EQ(fields.value("password"), "plain-secret");
}

} // namespace
