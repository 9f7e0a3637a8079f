#include "SimFixture.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

QStringList funTypesOf(const QJsonArray &entries)
{
    QStringList funTypes;
    for (const QJsonValue &entry : entries)
        funTypes << entry.toObject().value("funType").toString();
    return funTypes;
}

} // namespace

class SimServiceApiTest : public SimFixture
{};

TEST_F(SimServiceApiTest, FullUploadSequenceSucceedsWithTheMembersTheClientReads)
{
    start();
    const auto keys = m_client->postForm({{"funType", "getKeys"}, {"entkey", kEntkey}});
    EXPECT_EQ(keys.errcode(), 0);
    EXPECT_EQ(keys.contentType, "text/html; charset=UTF-8");
    EXPECT_FALSE(keys.json.value("date").toString().isEmpty());
    EXPECT_FALSE(keys.json.value("DalvemorKeys").toString().isEmpty());

    const QJsonObject identity = login();
    EXPECT_EQ(identity.value("entkey").toString(), kEntkey);
    EXPECT_TRUE(identity.value("entId").isDouble());
    EXPECT_TRUE(identity.value("userId").isDouble());
    EXPECT_FALSE(identity.value("entname").toString().isEmpty());
    EXPECT_FALSE(identity.value("email").toString().isEmpty());

    const auto job = m_client->postJson(registration(identity));
    ASSERT_EQ(job.errcode(), 0) << job.body.toStdString();
    const QString entId = QString::number(identity.value("entId").toInteger());
    const QString jobId = QString::number(job.json.value("jobId").toInteger());
    EXPECT_TRUE(job.json.value("jobId").isDouble());
    EXPECT_EQ(job.json.value("ip").toString(), "127.0.0.1");
    EXPECT_EQ(job.json.value("port").toString(), "2121");
    EXPECT_EQ(job.json.value("user").toString(), "extuser");
    EXPECT_EQ(job.json.value("pwd").toString(), "extpwd");
    const QString dir = job.json.value("dir").toString();
    EXPECT_TRUE(dir.startsWith("/" + entId + "/")) << dir.toStdString();
    EXPECT_TRUE(dir.endsWith("/" + jobId + "/")) << dir.toStdString();
    EXPECT_EQ(job.json.value("saveFileName").toString(), dir + kJobFileName);
    EXPECT_FALSE(job.json.value("equip_config_id").toString().isEmpty());

    const auto publicTarget = m_client->postJson(m_client->withFreshKeys(
        {{"funType", "getFtpInfo"},
         {"isSystem", "1"},
         {"user_id", QString::number(identity.value("userId").toInteger())}},
        kEntkey));
    ASSERT_EQ(publicTarget.errcode(), 0) << publicTarget.body.toStdString();
    for (const char *member : {"ip", "port", "user", "pwd", "equip_config_id"})
        EXPECT_FALSE(publicTarget.json.value(member).toString().isEmpty()) << member;

    const QString publicEquipment = publicTarget.json.value("equip_config_id").toString();
    const auto reported = m_client->postJson(report(identity, job.json, publicEquipment, "1"));
    EXPECT_EQ(reported.errcode(), 0) << reported.body.toStdString();

    const auto recorded = m_client->get("/sim/requests");
    EXPECT_EQ(funTypesOf(recorded.json.value("requests").toArray()),
              QStringList({"getKeys", "getKeys", "userLogin", "getKeys", "addSubmitJobInfo",
                           "getKeys", "getFtpInfo", "getKeys", "fileFtpUploadInfo"}));
}

TEST_F(SimServiceApiTest, KeyPairIsRefusedUnlessIssuedHereAndUnused)
{
    start();
    const QJsonObject loginMembers{
        {"funType", "userLogin"}, {"entkey", kEntkey}, {"userName", kUser}, {"userPwd", kPassword}};

    QJsonObject used = m_client->withFreshKeys(loginMembers, kEntkey);
    ASSERT_EQ(m_client->postJson(used).errcode(), 0);

    QJsonObject unknown = loginMembers;
    unknown.insert("date", used.value("date"));
    unknown.insert("DalvemorKeys", "0123456789ABCDEF0123456789ABCDEF");

    QJsonObject wrongDate = m_client->withFreshKeys(loginMembers, kEntkey);
    wrongDate.insert("date", "19990101000000");

    // A pair issued for one company key does not log in to another.
    QJsonObject otherCompany = m_client->withFreshKeys(loginMembers, kOtherEntkey);

    const struct
    {
        const char *name;
        QJsonObject members;
    } cases[] = {{"reused", used},
                 {"unknown", unknown},
                 {"date of another pair", wrongDate},
                 {"issued for another company key", otherCompany}};
    for (const auto &c : cases) {
        const auto answer = m_client->postJson(c.members);
        EXPECT_EQ(answer.errcode(), 72) << c.name << ": " << answer.body.toStdString();
    }
}

TEST_F(SimServiceApiTest, LoginReplyPairIsSpentSoTheNextRequestNeedsAFreshOne)
{
    start();
    const QJsonObject identity = login();
    QJsonObject job = registration(identity);
    job.insert("date", identity.value("date"));
    job.insert("DalvemorKeys", identity.value("DalvemorKeys"));
    EXPECT_EQ(m_client->postJson(job).errcode(), 72);
}

TEST_F(SimServiceApiTest, MalformedRequestsAreRefusedWithTheirCode)
{
    start();
    const QJsonObject login{{"funType", "userLogin"}, {"DalvemorKeys", "K"}, {"date", "D"},
                            {"entkey", kEntkey},      {"userName", kUser},   {"userPwd", "x"}};
    const auto json = [](QJsonObject object) {
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    };
    const auto without = [](QJsonObject object, const char *member) {
        object.remove(member);
        return object;
    };
    const auto with = [](QJsonObject object, const char *member, const QJsonValue &value) {
        object.insert(member, value);
        return object;
    };
    const QByteArray formType = "application/x-www-form-urlencoded";
    using Fields = SimHttpClient::Fields;

    const struct
    {
        const char *name;
        QByteArray body;
        QByteArray contentType;
        int errcode;
    } cases[] = {
        {"no funType", SimHttpClient::encodeForm({{"entkey", kEntkey}}), formType, 70},
        {"unknown funType", SimHttpClient::encodeForm({{"funType", "getKey"}}), formType, 74},
        {"getKeys inside jsonStr",
         SimHttpClient::encodeForm({{"jsonStr", json({{"funType", "getKeys"}, {"entkey", "A"}})}}),
         formType, 71},
        {"userLogin as plain fields",
         SimHttpClient::encodeForm(
             {{"funType", "userLogin"}, {"entkey", kEntkey}, {"userName", kUser}}),
         formType, 71},
        {"getKeys with an extra field",
         SimHttpClient::encodeForm(
             Fields{{"funType", "getKeys"}, {"entkey", kEntkey}, {"userName", kUser}}),
         formType, 71},
        {"getKeys without entkey", SimHttpClient::encodeForm({{"funType", "getKeys"}}), formType,
         70},
        {"jsonStr not JSON", SimHttpClient::encodeForm({{"jsonStr", "{funType:userLogin"}}),
         formType, 71},
        {"jsonStr beside another field",
         SimHttpClient::encodeForm(Fields{{"jsonStr", json(login)}, {"funType", "userLogin"}}),
         formType, 71},
        {"missing userPwd",
         SimHttpClient::encodeForm({{"jsonStr", json(without(login, "userPwd"))}}), formType, 70},
        {"empty userName",
         SimHttpClient::encodeForm({{"jsonStr", json(with(login, "userName", ""))}}), formType, 70},
        {"unknown member",
         SimHttpClient::encodeForm({{"jsonStr", json(with(login, "password", "x"))}}), formType,
         71},
        {"number for a text member",
         SimHttpClient::encodeForm({{"jsonStr", json(with(login, "userPwd", 1234))}}), formType,
         71},
        {"getFtpInfo with entkey",
         SimHttpClient::encodeForm({{"jsonStr", json({{"funType", "getFtpInfo"},
                                                      {"DalvemorKeys", "K"},
                                                      {"date", "D"},
                                                      {"isSystem", "1"},
                                                      {"user_id", "1001"},
                                                      {"entkey", kEntkey}})}}),
         formType, 71},
        {"paper_source as text",
         SimHttpClient::encodeForm({{"jsonStr", json({{"funType", "addSubmitJobInfo"},
                                                      {"DalvemorKeys", "K"},
                                                      {"date", "D"},
                                                      {"user_id", "1001"},
                                                      {"entId", "101"},
                                                      {"org_job_path", kJobFileName},
                                                      {"file_from", "x"},
                                                      {"paper_source", "1000"},
                                                      {"submit_time", "2024-05-06 09:10:11"}})}}),
         formType, 71},
        {"broken percent escape", "funType=getKeys&entkey=AC%4", formType, 71},
        {"invalid UTF-8", "funType=getKeys&entkey=%C3%28", formType, 71},
        {"JSON body instead of a form", json(login).toUtf8(), "application/json", 71},
    };
    for (const auto &c : cases) {
        const auto answer = m_client->postRaw(c.body, c.contentType);
        EXPECT_EQ(answer.errcode(), c.errcode) << c.name << ": " << answer.body.toStdString();
    }
    EXPECT_EQ(m_client->get("/ferrolux/serviceHttp/serviceHttp.php").errcode(), 73);
}

TEST_F(SimServiceApiTest, FormFieldsAreDecodedAsAPhpServiceDoes)
{
    start();
    const QJsonObject login{
        {"funType", "userLogin"}, {"entkey", kEntkey}, {"userName", kUser}, {"userPwd", kPassword}};
    const auto encodedLogin = [&](const QByteArray &keepRaw) {
        const QJsonObject members = m_client->withFreshKeys(login, kEntkey);
        const QString json =
            QString::fromUtf8(QJsonDocument(members).toJson(QJsonDocument::Compact));
        return "jsonStr=" + QUrl::toPercentEncoding(json, keepRaw);
    };
    const QByteArray formType = "application/x-www-form-urlencoded";

    // The password holds a blank and a plus: a blank may come as "+", a plus must come as %2B.
    QByteArray blankAsPlus = encodedLogin({});
    blankAsPlus.replace("%20", "+");
    EXPECT_EQ(m_client->postRaw(blankAsPlus, formType).errcode(), 0);

    // An unescaped "+" reads as a blank, so the password no longer matches.
    EXPECT_EQ(m_client->postRaw(encodedLogin("+"), formType).errcode(), 2);
}

TEST_F(SimServiceApiTest, LoginRefusalsCarryTheirCodes)
{
    start();
    const struct
    {
        const char *name;
        const char *entkey;
        const char *user;
        const char *password;
        int errcode;
    } cases[] = {
        {"wrong password", kEntkey, kUser, "wrong", 2},
        {"password of another user", kEntkey, kUser, "bobpass", 2},
        {"unknown user", kEntkey, "mallory", kPassword, 1},
        {"user of another enterprise", kEntkey, "carol", "carolpass", 1},
    };
    for (const auto &c : cases) {
        const auto answer = m_client->postJson(m_client->withFreshKeys({{"funType", "userLogin"},
                                                                        {"entkey", c.entkey},
                                                                        {"userName", c.user},
                                                                        {"userPwd", c.password}},
                                                                       c.entkey));
        EXPECT_EQ(answer.errcode(), c.errcode) << c.name << ": " << answer.body.toStdString();
    }
    EXPECT_EQ(m_client->postForm({{"funType", "getKeys"}, {"entkey", "NOSUCH"}}).errcode(), 7);
}

TEST_F(SimServiceApiTest, JobCallsCheckWhatTheyRegisterAndReport)
{
    start();
    const QJsonObject identity = login();
    const auto job = m_client->postJson(registration(identity));
    ASSERT_EQ(job.errcode(), 0);
    const QString ownEquipment = job.json.value("equip_config_id").toString();

    const auto changed = [](QJsonObject object, const char *member, const QJsonValue &value) {
        if (value.isUndefined())
            object.remove(member);
        else
            object.insert(member, value);
        return object;
    };
    const QJsonObject registered = registration(identity);
    const QJsonObject reported = report(identity, job.json, ownEquipment, "1");
    const struct
    {
        const char *name;
        QJsonObject members;
        int errcode;
    } cases[] = {
        {"job path with a folder",
         changed(registered, "org_job_path", QString("/tmp/vqmprinter/") + kJobFileName), 12},
        {"job file not a PDF", changed(registered, "org_job_path", "job.ps"), 13},
        {"enterprise of another company", changed(registered, "entId", "99999"), 1},
        {"user of no enterprise", changed(registered, "user_id", "99999"), 1},
        {"size not decimal", changed(registered, "doc_size", "48 kB"), 74},
        {"submit time in another form", changed(registered, "submit_time", "2024/05/06"), 74},
        {"report of an unknown job", changed(reported, "jobId", "424242"), 20},
        {"report with another file name",
         changed(reported, "saveFileName", job.json.value("dir").toString() + "other.pdf"), 74},
        {"report with equipment but no storage flag",
         changed(reported, "update_file_storage", QJsonValue::Undefined), 70},
        {"report with storage flag but no equipment",
         changed(reported, "equip_config_id", QJsonValue::Undefined), 71},
        {"report with an unknown equipment", changed(reported, "equip_config_id", "77"), 74},
        {"report state not a flag", changed(reported, "state", "yes"), 74},
    };
    for (const auto &c : cases) {
        // Each case needs its own unspent pair.
        QJsonObject members = m_client->withFreshKeys(c.members, kEntkey);
        const auto answer = m_client->postJson(members);
        EXPECT_EQ(answer.errcode(), c.errcode) << c.name << ": " << answer.body.toStdString();
    }

    const QJsonObject failedUpload =
        changed(changed(reported, "equip_config_id", QJsonValue::Undefined), "update_file_storage",
                QJsonValue::Undefined);
    EXPECT_EQ(m_client->postJson(changed(failedUpload, "state", "0")).errcode(), 0);
}

TEST_F(SimServiceApiTest, UnknownPathsAreRecordedAndAnswered404)
{
    start();
    const auto answer = m_client->get("/ferrolux/serviceHttp/other.php");
    EXPECT_EQ(answer.status, 404);
    const auto recorded = m_client->get("/sim/requests").json.value("requests").toArray();
    ASSERT_EQ(recorded.size(), 1);
    EXPECT_EQ(recorded[0].toObject().value("path").toString(), "/ferrolux/serviceHttp/other.php");
    EXPECT_EQ(recorded[0].toObject().value("reply").toObject().value("status").toInt(), 404);
}
