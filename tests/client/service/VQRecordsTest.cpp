#include "client/config/IniConfigModel.h"
#include "client/models/VQAddSubmitJobInfoRequest.h"
#include "client/models/VQFileFtpUploadInfoRequest.h"
#include "client/models/VQJobInfoResult.h"
#include "client/models/VQLoginResult.h"
#include "foundation/PrnParameterModel.h"
#include "foundation/Record.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

TEST(VQAddSubmitJobInfoRequest, EmptyRequestCarriesOnlyItsConstants)
{
    const QJsonObject json = Record::toJson(VQAddSubmitJobInfoRequest{});
    QStringList keys = json.keys();
    keys.sort();
    EXPECT_EQ(keys, QStringList({"file_from", "funType", "paper_source"}));
    EXPECT_EQ(json["funType"].toString(), "addSubmitJobInfo");
    EXPECT_EQ(json["file_from"].toString(), QString::fromUtf8("Mac\u6253\u5370\u5ba2\u6237\u7aef"));
    ASSERT_TRUE(json["paper_source"].isDouble());
    EXPECT_EQ(json["paper_source"].toInteger(), 1000);
}

TEST(VQAddSubmitJobInfoRequest, ConstantsCannotBeOverwrittenFromJson)
{
    VQAddSubmitJobInfoRequest request;
    Record::fillFromJson(request, QJsonObject{{"funType", "other"}, {"paper_source", 5}});
    EXPECT_EQ(request.funType(), "addSubmitJobInfo");
    EXPECT_EQ(request.paper_source(), 1000);
}

TEST(VQAddSubmitJobInfoRequest, IsFilledFromIdentityJobAndConfiguration)
{
    VQLoginResult identity;
    identity.DalvemorKeys = QStringLiteral("KEYS");
    identity.date = QStringLiteral("20240102030405");
    identity.userId = QStringLiteral("34");
    identity.entId = QStringLiteral("12");
    PrnParameterModel job;
    job.pdfPath = QStringLiteral("/tmp/vqmprinter/0F8FAD5B-D9CB-469F-A165-70867728950E.pdf");
    job.fileSize = QStringLiteral("20480");
    job.direction = QStringLiteral("3");
    job.doublePrint = QStringLiteral("1");
    job.color = QStringLiteral("0");
    job.pageTotal = QStringLiteral("6");
    job.pagerSize = QStringLiteral("A4");
    job.copiesCount = QStringLiteral("2");
    IniConfigModel config;
    config.ftpName = QStringLiteral("store-1");
    const QDateTime now(QDate(2024, 12, 30), QTime(23, 59, 58));

    VQAddSubmitJobInfoRequest request;
    request.convertFromVQLoginResult(identity, job, config, now);

    const QJsonObject json = Record::toJson(request);
    // Every member but the missing document name reaches the wire, under the service's names.
    EXPECT_EQ(json.keys(),
              QStringList({"DalvemorKeys", "color", "copies", "date", "doc_size", "doublePrint",
                           "entId", "file_from", "file_storage_server", "funType", "org_job_path",
                           "org_job_size", "orientation", "pageType", "paper_source", "submit_time",
                           "total_page", "user_id"}));
    EXPECT_EQ(json["org_job_path"].toString(), "0F8FAD5B-D9CB-469F-A165-70867728950E.pdf");
    EXPECT_EQ(json["doc_size"].toString(), "20480");
    EXPECT_EQ(json["org_job_size"].toString(), json["doc_size"].toString());
    EXPECT_FALSE(json.contains(QStringLiteral("docName"))) << "the job has no document name";
    EXPECT_EQ(json["submit_time"].toString(), "2024-12-30 23:59:58") << "calendar year";
    EXPECT_EQ(json["DalvemorKeys"].toString(), "KEYS");
    EXPECT_EQ(json["date"].toString(), "20240102030405");
    EXPECT_EQ(json["user_id"].toString(), "34");
    EXPECT_EQ(json["entId"].toString(), "12");
    EXPECT_EQ(json["orientation"].toString(), "3");
    EXPECT_EQ(json["doublePrint"].toString(), "1");
    EXPECT_EQ(json["color"].toString(), "0");
    EXPECT_EQ(json["total_page"].toString(), "6");
    EXPECT_EQ(json["pageType"].toString(), "A4");
    EXPECT_EQ(json["copies"].toString(), "2");
    EXPECT_EQ(json["file_storage_server"].toString(), "store-1");
}

TEST(VQFileFtpUploadInfoRequest, ReportWithoutEquipmentConfigurationHasNoStorageFlag)
{
    VQFileFtpUploadInfoRequest report;
    report.jobId = QStringLiteral("1001");
    report.state = QStringLiteral("0");
    const QJsonObject json = Record::toJson(report);
    EXPECT_FALSE(json.contains(QStringLiteral("update_file_storage")));
    EXPECT_FALSE(json.contains(QStringLiteral("equip_config_id")));
    EXPECT_EQ(json["funType"].toString(), "fileFtpUploadInfo");
    EXPECT_EQ(json["jobId"].toString(), "1001");
}

TEST(VQJobInfoResult, ReplyNumbersBecomeTextAndMissingMembersStayUnset)
{
    const auto reply =
        QJsonDocument::fromJson(R"({"errcode": 0, "jobId": 1234, "port": "21", "x": 1})").object();
    const auto result = Record::fromJson<VQJobInfoResult>(reply);
    EXPECT_EQ(result.errcode, "0");
    EXPECT_EQ(result.jobId, "1234");
    EXPECT_EQ(result.port, "21");
    for (const QString &unset : {result.errmsg, result.saveFileName, result.ip, result.user,
                                 result.pwd, result.dir, result.path, result.equip_config_id})
        EXPECT_TRUE(unset.isNull());
    EXPECT_FALSE(result.update_file_storage);
}

TEST(VQJobInfoResult, NullMembersLeaveTheirPropertiesUnset)
{
    const auto result = Record::fromJson<VQJobInfoResult>(
        QJsonDocument::fromJson(R"({"ip": null, "update_file_storage": null})").object());
    EXPECT_TRUE(result.ip.isNull());
    EXPECT_FALSE(result.update_file_storage);
}

TEST(VQLoginResult, IsReadFromALoginReply)
{
    const auto identity = Record::fromJson<VQLoginResult>(
        QJsonDocument::fromJson(R"({"errcode":0,"entname":"Acme","entId":101,"email":"a@b",)"
                                R"("entkey":"ACME","userId":1001})")
            .object());
    EXPECT_EQ(identity.entname, "Acme");
    EXPECT_EQ(identity.entId, "101");
    EXPECT_EQ(identity.email, "a@b");
    EXPECT_EQ(identity.entkey, "ACME");
    EXPECT_EQ(identity.userId, "1001");
    EXPECT_TRUE(identity.date.isNull());
}

} // namespace
