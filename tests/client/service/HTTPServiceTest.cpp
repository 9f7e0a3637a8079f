#include "SimProcess.h"
#include "TaskWaiter.h"
#include "support/LogCapture.h"

#include "client/config/IniConfigModel.h"
#include "client/network/HTTPManager.h"
#include "client/platform/Localizable.h"
#include "client/service/HTTPService.h"
#include "foundation/PrnParameterModel.h"
#include "foundation/Record.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr auto kEntKey = "ACME";
constexpr auto kUser = "alice";
constexpr auto kPassword = "s3cret-pass";

QStringList sortedKeys(const QJsonObject &object)
{
    QStringList keys = object.keys();
    keys.sort();
    return keys;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

// One simulator for the whole suite; each test starts with no faults and no recorded requests.
class HTTPServiceTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        Localizable::install(QLocale(QLocale::English));
        sim = new SimProcess;
        QString failure;
        if (!sim->start({"--account", QStringLiteral("%1:%2:%3").arg(kEntKey, kUser, kPassword)},
                        &failure))
            startFailure = failure;
    }

    static void TearDownTestSuite()
    {
        delete sim;
        sim = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(startFailure.isEmpty()) << startFailure.toStdString();
        ASSERT_TRUE(sim->setFaults({}));
        sim->clearRequests();
        transport.setHost(sim->apiUrl());
    }

    template <typename T>
    Result<T> finish(QCoro::Task<Result<T>> task)
    {
        auto result = TaskWaiter::finish(std::move(task), 20s);
        EXPECT_TRUE(result.has_value()) << "the call did not end";
        return result.value_or(Error{QStringLiteral("test"), -1, QStringLiteral("no end")});
    }

    Result<VQLoginResult> login(const char *password = kPassword)
    {
        return finish(service.loginWithUserName(QString::fromLatin1(kUser),
                                                QString::fromLatin1(password),
                                                QString::fromLatin1(kEntKey)));
    }

    // The identity with a freshly fetched pair, as the upload chain prepares it.
    VQLoginResult identityWithFreshPair()
    {
        Result<VQLoginResult> identity = login();
        EXPECT_TRUE(identity.ok());
        const Result<QJsonObject> keys =
            finish(service.getDalvemorKeyWithEntKey(QString::fromLatin1(kEntKey)));
        EXPECT_TRUE(keys.ok());
        VQLoginResult prepared = identity.ok() ? identity.value() : VQLoginResult{};
        if (keys.ok()) {
            prepared.date = keys->value("date").toString();
            prepared.DalvemorKeys = keys->value("DalvemorKeys").toString();
        }
        return prepared;
    }

    static QJsonObject lastAnswer(const QString &funType)
    {
        const QJsonArray recorded = sim->requests(funType);
        return recorded.isEmpty()
                   ? QJsonObject()
                   : recorded.last().toObject()["reply"].toObject()["answer"].toObject();
    }

    static inline SimProcess *sim = nullptr;
    static inline QString startFailure;
    HTTPManager transport;
    HTTPService service{transport};
};

TEST_F(HTTPServiceTest, GetKeysSendsExactlyTwoPlainFields)
{
    const Result<QJsonObject> keys =
        finish(service.getDalvemorKeyWithEntKey(QString::fromLatin1(kEntKey)));
    ASSERT_TRUE(keys.ok()) << keys.error().description.toStdString();
    EXPECT_FALSE(keys->value("date").toString().isEmpty());
    EXPECT_FALSE(keys->value("DalvemorKeys").toString().isEmpty());

    const QJsonArray recorded = sim->requests();
    ASSERT_EQ(recorded.size(), 1);
    const QJsonObject form = recorded[0].toObject()["form"].toObject();
    EXPECT_EQ(sortedKeys(form), QStringList({"entkey", "funType"}));
    EXPECT_EQ(form["funType"].toString(), "getKeys");
    EXPECT_EQ(form["entkey"].toString(), kEntKey);
}

TEST_F(HTTPServiceTest, LoginSendsSixMembersAndYieldsTheIdentityWithTheFetchedPair)
{
    LogCapture log;
    const Result<VQLoginResult> identity = login();
    ASSERT_TRUE(identity.ok()) << identity.error().description.toStdString();

    const QJsonArray logins = sim->requests(QStringLiteral("userLogin"));
    ASSERT_EQ(logins.size(), 1);
    const QJsonObject form = logins[0].toObject()["form"].toObject();
    EXPECT_EQ(sortedKeys(form), QStringList({"jsonStr"}));
    const QJsonObject members = logins[0].toObject()["members"].toObject();
    EXPECT_EQ(sortedKeys(members),
              sorted({"funType", "DalvemorKeys", "date", "entkey", "userName", "userPwd"}));
    EXPECT_EQ(members["userPwd"].toString(), kPassword);

    const QJsonObject pair = lastAnswer(QStringLiteral("getKeys"));
    EXPECT_EQ(members["date"].toString(), pair["date"].toString());
    EXPECT_EQ(members["DalvemorKeys"].toString(), pair["DalvemorKeys"].toString());
    EXPECT_EQ(identity->date, pair["date"].toString());
    EXPECT_EQ(identity->DalvemorKeys, pair["DalvemorKeys"].toString());
    EXPECT_EQ(identity->entkey, kEntKey);
    EXPECT_FALSE(identity->entId.isEmpty());
    EXPECT_FALSE(identity->userId.isEmpty());

    // The password reached the service but not the log.
    const QString text = log.text();
    EXPECT_FALSE(text.contains(QLatin1String(kPassword)));
    EXPECT_TRUE(text.contains(QStringLiteral("******")));
}

TEST_F(HTTPServiceTest, LoginReplyWithItsOwnPairYieldsTheFetchedPair)
{
    ASSERT_TRUE(sim->setFaults(
        {QJsonObject{{"funType", "userLogin"},
                     {"body", R"({"errcode":0,"entId":12,"userId":"34","entkey":"ACME",)"
                              R"("date":"REPLY-DATE","DalvemorKeys":"REPLY-KEYS"})"}}}));
    const Result<VQLoginResult> identity = login();
    ASSERT_TRUE(identity.ok()) << identity.error().description.toStdString();
    const QJsonObject pair = lastAnswer(QStringLiteral("getKeys"));
    EXPECT_EQ(identity->date, pair["date"].toString());
    EXPECT_EQ(identity->DalvemorKeys, pair["DalvemorKeys"].toString());
    EXPECT_EQ(identity->entId, "12");
    EXPECT_EQ(identity->userId, "34");
}

struct SuccessBody
{
    const char *name;
    QJsonObject fault;
};

class SuccessReply : public HTTPServiceTest, public ::testing::WithParamInterface<SuccessBody>
{};

TEST_P(SuccessReply, CountsAsSuccess)
{
    ASSERT_TRUE(sim->setFaults({GetParam().fault}));
    const Result<VQLoginResult> identity = login();
    ASSERT_TRUE(identity.ok()) << identity.error().description.toStdString();
    EXPECT_FALSE(identity->userId.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SuccessReply,
    ::testing::Values(SuccessBody{"errcode21", {{"funType", "userLogin"}, {"errcode", 21}}},
                      SuccessBody{
                          "errcodeMissing",
                          {{"funType", "userLogin"}, {"body", R"({"entId":"12","userId":"34"})"}}},
                      SuccessBody{"errcodeZeroText",
                                  {{"funType", "userLogin"},
                                   {"body", R"({"errcode":"0","entId":"12","userId":"34"})"}}}),
    [](const auto &info) { return info.param.name; });

TEST_F(HTTPServiceTest, WrongPasswordRejectsWithCodeTwoAndLogsItsMessage)
{
    LogCapture log;
    const Result<VQLoginResult> identity = login("wrong-password");
    ASSERT_FALSE(identity.ok());
    EXPECT_EQ(identity.error().code, 2);
    EXPECT_EQ(identity.error().description, "Wrong password.");
    const QString text = log.text();
    EXPECT_EQ(text.count(QStringLiteral(
                  "HTTPService::loginWithUserName, error code: 2, error msg:Wrong password.")),
              1)
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("wrong-password")));
}

struct BrokenReply
{
    const char *name;
    QJsonObject fault;
    int code;
};

class BrokenLoginReply : public HTTPServiceTest, public ::testing::WithParamInterface<BrokenReply>
{};

TEST_P(BrokenLoginReply, Rejects)
{
    ASSERT_TRUE(sim->setFaults({GetParam().fault}));
    const Result<VQLoginResult> identity = login();
    ASSERT_FALSE(identity.ok());
    EXPECT_EQ(identity.error().code, GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, BrokenLoginReply,
    ::testing::Values(BrokenReply{"htmlPage",
                                  {{"funType", "userLogin"},
                                   {"body", "<html><body>Fatal error</body></html>"}},
                                  HTTPManager::kErrorCannotParseResponse},
                      BrokenReply{"plainTextContentType",
                                  {{"funType", "userLogin"}, {"contentType", "text/plain"}},
                                  HTTPManager::kErrorUnacceptableContentType}),
    [](const auto &info) { return info.param.name; });

TEST_F(HTTPServiceTest, FailedKeyRequestStopsTheMainRequest)
{
    LogCapture log;
    ASSERT_TRUE(sim->setFaults({QJsonObject{{"funType", "getKeys"}, {"errcode", 7}}}));

    const Result<VQJobInfoResult> target =
        finish(service.getFtpInfoWithUserId(QStringLiteral("1001"), kEntKey, true));
    ASSERT_FALSE(target.ok());
    EXPECT_EQ(target.error().code, 7);

    const Result<VQLoginResult> identity = login();
    ASSERT_FALSE(identity.ok());
    EXPECT_EQ(identity.error().code, 7);

    EXPECT_EQ(sim->requests(QStringLiteral("getKeys")).size(), 2);
    EXPECT_EQ(sim->requests().size(), 2) << "no main request was sent";
    EXPECT_FALSE(log.text().contains(QStringLiteral("error code:")))
        << "the login's own line is only for the login request";
}

TEST_F(HTTPServiceTest, GetFtpInfoSendsTheFlagAndNoCompanyKey)
{
    const VQLoginResult identity = identityWithFreshPair();
    for (const bool isSystem : {false, true}) {
        sim->clearRequests();
        const Result<VQJobInfoResult> target =
            finish(service.getFtpInfoWithUserId(identity.userId, kEntKey, isSystem));
        ASSERT_TRUE(target.ok()) << target.error().description.toStdString();
        EXPECT_FALSE(target->ip.isEmpty());
        EXPECT_FALSE(target->port.isEmpty());

        const QJsonArray requests = sim->requests(QStringLiteral("getFtpInfo"));
        ASSERT_EQ(requests.size(), 1);
        const QJsonObject members = requests[0].toObject()["members"].toObject();
        EXPECT_EQ(sortedKeys(members),
                  sorted({"funType", "DalvemorKeys", "date", "isSystem", "user_id"}));
        EXPECT_EQ(members["isSystem"].toString(), isSystem ? "1" : "0");
        EXPECT_EQ(members["user_id"].toString(), identity.userId);
        EXPECT_EQ(members["DalvemorKeys"].toString(),
                  lastAnswer(QStringLiteral("getKeys"))["DalvemorKeys"].toString());
    }
}

TEST_F(HTTPServiceTest, JobIsRegisteredAndItsReportCarriesAFreshPairBackToTheCaller)
{
    const VQLoginResult identity = identityWithFreshPair();
    PrnParameterModel job;
    job.pdfPath = QStringLiteral("/tmp/vqmprinter/0F8FAD5B-D9CB-469F-A165-70867728950E.pdf");
    job.fileName = QStringLiteral("Quarterly report.pdf");
    job.fileSize = QStringLiteral("20480");
    job.copiesCount = QStringLiteral("2");
    job.pageTotal = QStringLiteral("6");
    job.direction = QStringLiteral("3");
    job.doublePrint = QStringLiteral("0");
    job.color = QStringLiteral("1");
    job.pagerSize = QStringLiteral("A4");
    IniConfigModel config;
    config.ftpName = QStringLiteral("store-1");

    VQAddSubmitJobInfoRequest registration;
    registration.convertFromVQLoginResult(identity, job, config);
    sim->clearRequests();
    const Result<VQJobInfoResult> target = finish(service.addSubmitJobInfo(registration));
    ASSERT_TRUE(target.ok()) << target.error().description.toStdString();
    EXPECT_FALSE(target->jobId.isEmpty());
    EXPECT_FALSE(target->dir.isEmpty());
    ASSERT_EQ(sim->requests().size(), 1) << "registration uses the caller's pair";
    const QJsonObject members =
        sim->requests(QStringLiteral("addSubmitJobInfo"))[0].toObject()["members"].toObject();
    EXPECT_EQ(members, Record::toJson(registration));

    VQFileFtpUploadInfoRequest report;
    report.jobId = target->jobId;
    report.entId = identity.entId;
    report.type = QStringLiteral("1");
    report.state = QStringLiteral("1");
    report.saveFileName = target->dir + QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E.pdf");
    const Result<QJsonObject> reported = finish(service.fileFtpUploadInfo(report, kEntKey));
    ASSERT_TRUE(reported.ok()) << reported.error().description.toStdString();

    const QJsonObject pair = lastAnswer(QStringLiteral("getKeys"));
    EXPECT_EQ(report.date, pair["date"].toString());
    EXPECT_EQ(report.DalvemorKeys, pair["DalvemorKeys"].toString());
    EXPECT_NE(report.DalvemorKeys, identity.DalvemorKeys) << "no pair is used twice";
    const QJsonObject sent =
        sim->requests(QStringLiteral("fileFtpUploadInfo"))[0].toObject()["members"].toObject();
    EXPECT_EQ(sent, Record::toJson(report));
    EXPECT_FALSE(sent.contains(QStringLiteral("update_file_storage")));
}

} // namespace
