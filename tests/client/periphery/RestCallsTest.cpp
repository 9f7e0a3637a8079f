#include "ScriptedHttpServer.h"
#include "TaskWaiter.h"

#include "client/models/CSAddSubmitJobRequestModel.h"
#include "client/models/CSFTPResult.h"
#include "client/models/CSLoginResult.h"
#include "client/models/KeyMappedRecord.h"
#include "client/models/QuenxKeyModel.h"
#include "client/network/HTTPManager.h"
#include "client/platform/Localizable.h"
#include "client/service/HTTPService.h"
#include "client/settings/SettingsStore.h"
#include "foundation/BaseTools.h"
#include "foundation/Record.h"
#include "foundation/TextHelpers/Md5.h"

#include "RestRoutes.h"
#include "ServiceApi.h"
#include "ServiceSimulator.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

using namespace std::chrono_literals;

namespace {

constexpr auto kEntKey = "ACME";

QStringList sortedKeys(const QJsonObject &object)
{
    QStringList keys = object.keys();
    keys.sort();
    return keys;
}

template <typename T>
Result<T> finish(QCoro::Task<Result<T>> task)
{
    auto result = TaskWaiter::finish(std::move(task), 10s);
    EXPECT_TRUE(result.has_value()) << "the call did not end";
    return result.value_or(Error{QStringLiteral("test"), -1, QStringLiteral("no end")});
}

// The simulator in this process, with one account and an outside FTP server named in answers.
class RestCallsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { Localizable::install(QLocale(QLocale::English)); }

    void SetUp() override
    {
        SimOptions options;
        options.accountArguments = {QStringLiteral("%1:alice:secret").arg(kEntKey)};
        options.externalFtp = FtpTargets::Server{"127.0.0.1", 2121, "extuser", "extpwd"};
        sim = std::make_unique<ServiceSimulator>(std::move(options));
        const auto started = sim->start();
        ASSERT_TRUE(started.ok()) << started.error().description.toStdString();
        transport.setHost(QStringLiteral("http://127.0.0.1:%1%2")
                              .arg(sim->httpPort())
                              .arg(QLatin1String(ServiceApi::kPath)));
    }

    // The recorded request to the REST path.
    QJsonObject recorded(const char *restPath) const
    {
        QJsonObject found;
        for (const QJsonValue &entry : sim->context().requests.entries()) {
            if (entry[QStringLiteral("rest")].toString() == QLatin1String(restPath))
                found = entry.toObject();
        }
        EXPECT_FALSE(found.isEmpty()) << "no request to " << restPath;
        return found;
    }

    QString enterpriseId() const
    {
        return sim->context().accounts.enterpriseId(QString::fromLatin1(kEntKey));
    }

    std::unique_ptr<ServiceSimulator> sim;
    HTTPManager transport{5s};
    HTTPService service{transport};
};

TEST_F(RestCallsTest, GetTokenSendsTheCredentialsOnlyInTheQueryAndKeepsTheToken)
{
    const Result<QString> token = finish(service.getToken());
    ASSERT_TRUE(token.ok()) << token.error().description.toStdString();
    EXPECT_FALSE(token->isEmpty());
    EXPECT_EQ(transport.token(), token.value());

    const QJsonObject request = recorded("/api/Token/get");
    EXPECT_EQ(request["method"].toString(), "GET");
    EXPECT_EQ(request["path"].toString(),
              QLatin1String(ServiceApi::kPath) + QStringLiteral("/api/Token/get"));
    EXPECT_EQ(
        request["query"].toString(),
        QStringLiteral("grant_type=client_credential&client_id=%1&client_secret=%2")
            .arg(QLatin1String(RestRoutes::kClientId), QLatin1String(RestRoutes::kClientSecret)));
    EXPECT_TRUE(request["body"].toString().isEmpty());
    EXPECT_TRUE(request["form"].toObject().isEmpty());
}

TEST_F(RestCallsTest, GetFtpInfoReadsTheConfigurationWithItsIdMapping)
{
    const Result<std::optional<CSFTPResult>> info = finish(service.getFTPInfo());
    ASSERT_TRUE(info.ok()) << info.error().description.toStdString();
    ASSERT_TRUE(info->has_value());
    const CSFTPResult &ftp = *info.value();
    EXPECT_EQ(ftp.ftpId, RestRoutes::kFtpConfigId);
    EXPECT_EQ(ftp.ftp_ip, "127.0.0.1");
    EXPECT_EQ(ftp.ftp_port, 2121);
    EXPECT_EQ(ftp.ftp_user, "extuser");
    EXPECT_EQ(ftp.ftp_pwd, "extpwd");

    const QJsonObject request = recorded("/api/v1.Tools/ftp");
    EXPECT_EQ(request["method"].toString(), "GET");
    EXPECT_TRUE(request["query"].toString().isEmpty());
    EXPECT_TRUE(request["body"].toString().isEmpty());
}

TEST_F(RestCallsTest, GetEntInfoPostsTheCompanyKeyAndYieldsTheId)
{
    const Result<QJsonValue> id =
        finish(service.getEntInfoWithEntKey(QString::fromLatin1(kEntKey)));
    ASSERT_TRUE(id.ok()) << id.error().description.toStdString();
    EXPECT_EQ(QString::number(id->toInteger()), enterpriseId());

    const QJsonObject request = recorded("/api/v1.Ent/info");
    EXPECT_EQ(request["method"].toString(), "POST");
    EXPECT_EQ(request["form"].toObject(), (QJsonObject{{"entkey", kEntKey}}));

    const Result<QJsonValue> unknown = finish(service.getEntInfoWithEntKey(QStringLiteral("NOPE")));
    ASSERT_FALSE(unknown.ok());
    EXPECT_EQ(unknown.error().code, 7);
}

TEST_F(RestCallsTest, RegisterSendsTheNineFieldsWithNumbersAndTheHostId)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SettingsStore settings(folder.filePath(QStringLiteral("default.ini")));
    const QString hostId = QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    settings.saveUUID(hostId);

    const Result<QJsonObject> reply =
        finish(service.registerClientWithEntId(enterpriseId(), settings));
    ASSERT_TRUE(reply.ok()) << reply.error().description.toStdString();
    EXPECT_EQ(reply->value("errcode").toInt(), 0);
    EXPECT_EQ(reply->value("data")["flag"].toString(), hostId) << "the reply object, unchanged";

    const QJsonObject form = recorded("/api/v1.Tools/register")["form"].toObject();
    EXPECT_EQ(sortedKeys(form), (QStringList{"ent_id", "flag", "host", "ip", "mac", "name",
                                             "system_type", "tool_type", "version"}));
    EXPECT_EQ(form["ent_id"].toString(), enterpriseId());
    EXPECT_EQ(form["tool_type"].toString(), "2");
    EXPECT_EQ(form["system_type"].toString(), "3");
    EXPECT_EQ(form["name"].toString(), QString::fromUtf8("LirabelMac客户端"));
    EXPECT_EQ(form["host"].toString(), "Mac");
    EXPECT_EQ(form["flag"].toString(), hostId);
    EXPECT_EQ(form["version"].toString(), BaseTools::getVersion());
    EXPECT_EQ(form["ip"].toString(), BaseTools::getIPAddress());
    EXPECT_EQ(form["mac"].toString(),
              BaseTools::getMacAddress().isNull() ? QString("") : BaseTools::getMacAddress());
}

TEST_F(RestCallsTest, AddSubmitJobSendsTheRecordAsFormFieldsAndYieldsTheEquid)
{
    CSAddSubmitJobRequestModel job;
    job.user_id = 34;
    job.ftp_config_id = 7;
    job.doc_name = QStringLiteral("Quarterly report.pdf");
    job.doc_size = 48213;
    job.org_job_path = QStringLiteral("A1B2.pdf");
    job.dir_path = QStringLiteral("/jobs/2024");
    job.page_type = QStringLiteral("A4");
    job.copies = 2;
    job.total_page = 4;
    // download_link stays unset.

    const Result<QJsonValue> equid = finish(service.addSubmitJob(job));
    ASSERT_TRUE(equid.ok()) << equid.error().description.toStdString();
    EXPECT_EQ(equid->toString(), "1");

    const QJsonObject form = recorded("/api/v1.Printing/add")["form"].toObject();
    EXPECT_EQ(
        sortedKeys(form),
        (QStringList{"color", "copies", "dir_path", "doc_name", "doc_size", "double_print",
                     "enable_collate", "file_from_type", "ftp_config_id", "image_use_physical_area",
                     "org_job_path", "orientation", "page_type", "total_page", "user_id"}));
    EXPECT_EQ(form["user_id"].toString(), "34");
    EXPECT_EQ(form["doc_size"].toString(), "48213");
    EXPECT_EQ(form["doc_name"].toString(), "Quarterly report.pdf");
    EXPECT_EQ(form["total_page"].toString(), "4");
    EXPECT_EQ(form["color"].toString(), "0");
}

// Every integer property travels as its exact decimal digits, whatever its size.
struct IntegerFieldCase
{
    const char *name;
    qint64 value;
    const char *digits;
};

void PrintTo(const IntegerFieldCase &c, std::ostream *out)
{
    *out << c.name;
}

class AddSubmitJobIntegerFields : public ::testing::TestWithParam<IntegerFieldCase>
{};

TEST_P(AddSubmitJobIntegerFields, CarryTheExactDecimalDigits)
{
    const IntegerFieldCase &c = GetParam();
    ScriptedHttpServer server;
    ASSERT_TRUE(server.start());
    server.setReply({200, "application/json", R"({"errcode": 0, "data": {"equid": "1"}})", true});
    HTTPManager transport(5s);
    transport.setHost(server.url(QStringLiteral("/api")));
    HTTPService service(transport);

    CSAddSubmitJobRequestModel job;
    job.doc_name = QStringLiteral("report.pdf");
    QStringList integerFields;
    for (const QMetaProperty &property :
         Record::ownProperties(CSAddSubmitJobRequestModel::staticMetaObject)) {
        if (property.metaType() != QMetaType::fromType<qint64>())
            continue;
        ASSERT_TRUE(Record::write(property, &job, QVariant::fromValue(c.value)));
        integerFields << QString::fromLatin1(property.name());
    }
    ASSERT_EQ(job.ftp_config_id, c.value);
    ASSERT_TRUE(finish(service.addSubmitJob(job)).ok());

    ASSERT_EQ(server.requests().size(), 1);
    const ScriptedHttpServer::Request &request = server.requests().first();
    EXPECT_EQ(request.target, "/api/api/v1.Printing/add");
    const auto form = ScriptedHttpServer::Request::formFields(request.body);
    EXPECT_EQ(form.value("doc_name"), "report.pdf");
    for (const QString &field : std::as_const(integerFields))
        EXPECT_EQ(form.value(field).toStdString(), c.digits) << field.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Values, AddSubmitJobIntegerFields,
    ::testing::Values(
        IntegerFieldCase{"zero", 0, "0"}, IntegerFieldCase{"ten", 10, "10"},
        IntegerFieldCase{"twelveHundred", 1200, "1200"},
        IntegerFieldCase{"hundredThousand", 100000, "100000"},
        IntegerFieldCase{"million", 1000000, "1000000"},
        IntegerFieldCase{"beyondDoublePrecision", 9007199254740993, "9007199254740993"},
        IntegerFieldCase{"largest", std::numeric_limits<qint64>::max(), "9223372036854775807"},
        IntegerFieldCase{"negative", -250000, "-250000"},
        IntegerFieldCase{"smallest", std::numeric_limits<qint64>::min(), "-9223372036854775808"}),
    [](const auto &info) { return info.param.name; });

// Replies that pass the errcode test but carry no "data" give nil.
TEST(RestCallsWithoutData, YieldNothing)
{
    ScriptedHttpServer server;
    ASSERT_TRUE(server.start());
    server.setReply({200, "application/json", R"({"errcode": 0})", true});
    HTTPManager transport(5s);
    transport.setHost(server.url(QStringLiteral("/api")));
    transport.setToken(QStringLiteral("earlier"));
    HTTPService service(transport);

    const Result<QString> token = finish(service.getToken());
    ASSERT_TRUE(token.ok());
    EXPECT_TRUE(token->isNull());
    EXPECT_TRUE(transport.token().isNull());

    const Result<std::optional<CSFTPResult>> ftp = finish(service.getFTPInfo());
    ASSERT_TRUE(ftp.ok());
    EXPECT_FALSE(ftp->has_value());

    const Result<QJsonValue> id = finish(service.getEntInfoWithEntKey(QStringLiteral("ACME")));
    ASSERT_TRUE(id.ok());
    EXPECT_TRUE(id->isUndefined());

    const Result<QJsonValue> equid = finish(service.addSubmitJob({}));
    ASSERT_TRUE(equid.ok());
    EXPECT_TRUE(equid->isUndefined());
}

TEST(RestRecords, IdMappingsReadOnlyTheIdMember)
{
    const auto login = KeyMappedRecord::fromJson<CSLoginResult>(
        {{"id", 12}, {"userId", 99}, {"amount", "5"}, {"nickname", "Al"}, {"is_guest", 1}});
    EXPECT_EQ(login.userId, 12);
    EXPECT_EQ(login.amount, 5);
    EXPECT_EQ(login.nickname, "Al");
    EXPECT_EQ(login.is_guest, 1);
    EXPECT_EQ(KeyMappedRecord::fromJson<CSLoginResult>({{"userId", 99}}).userId, 0);

    const auto ftp = KeyMappedRecord::fromJson<CSFTPResult>({{"id", 7}, {"ftp_port", 21}});
    EXPECT_EQ(ftp.ftpId, 7);
    EXPECT_EQ(ftp.ftp_port, 21);
    EXPECT_EQ(CSLoginResult::modelCustomPropertyMapper().size(), 1);
    EXPECT_EQ(CSFTPResult::modelCustomPropertyMapper().size(), 1);
}

TEST(QuenxKeyModel, KeyIsTheSaltedUpperCaseMd5OfTheTimeText)
{
    const QuenxKeyModel fixed = QuenxKeyModel::getQuenxKey(QStringLiteral("20240506091011"));
    EXPECT_EQ(fixed.DalvemorKeys, "22E68791550C196B7618C6A4E063D121");
    EXPECT_EQ(fixed.date, "20240506091011");
}

TEST(QuenxKeyModel, TwoKeysWithinOneSecondAreEqual)
{
    // A pair may straddle a second; one of a few pairs lies within one.
    bool sameSecondSeen = false;
    for (int attempt = 0; attempt < 3 && !sameSecondSeen; ++attempt) {
        const QuenxKeyModel first = QuenxKeyModel::getQuenxKey();
        const QuenxKeyModel second = QuenxKeyModel::getQuenxKey();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{14}$")).match(first.date).hasMatch());
        EXPECT_EQ(first.DalvemorKeys,
                  Md5::MD5ForUpper32Bate(QStringLiteral("~#!$$!#~") + first.date));
        if (first.date == second.date) {
            sameSecondSeen = true;
            EXPECT_EQ(first.DalvemorKeys, second.DalvemorKeys);
        }
    }
    EXPECT_TRUE(sameSecondSeen);
}

} // namespace
