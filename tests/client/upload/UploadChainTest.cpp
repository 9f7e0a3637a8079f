#include "UploadFixture.h"
#include "client/ftp/CopySwaps.h"

#include "support/TestSupport.h"

#include "client/platform/CopyFolderCheck.h"
#include "client/platform/Localizable.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

using namespace std::chrono_literals;

namespace {

QString uploading()
{
    return Localizable::string("Uploading ...");
}

QString uploadSucceeded()
{
    return Localizable::string("Upload succesd");
}

const QString kUploadContinues = QString::fromUtf8("继续上传任务");
const QString kUploadFailed = QString::fromUtf8("文件上传失败");

class UploadChainTest : public UploadFixture
{
protected:
    // Where the simulator's FTP server keeps a reported file.
    QString storedPath(const QJsonObject &report) const
    {
        return QDir(sim().ftpRoot()).filePath(report.value("saveFileName").toString().mid(1));
    }

    QJsonObject reportOf(const QString &jobFileName) const
    {
        for (const QJsonValue &entry : requests("fileFtpUploadInfo")) {
            const QJsonObject members = entry.toObject().value("members").toObject();
            if (members.value("saveFileName").toString().endsWith(jobFileName))
                return members;
        }
        return {};
    }

    // An upload of a job with the saved QR identity, as the login decision starts it.
    void uploadWithSavedIdentity(const UploadService::Job &job)
    {
        const VQLoginResult identity = savedIdentity();
        m_settings->saveIsScanQrcode(true);
        m_settings->saveUserid(identity.userId);
        m_settings->saveEntid(identity.entId);
        m_settings->saveEntKey(identity.entkey);
        m_service->appendJob(job);
    }
};

TEST_F(UploadChainTest, TwoQueuedJobsAreBothUploadedAndTheListEndsEmpty)
{
    saveAccount(true);
    createService();
    const auto first = makeJob();
    const auto second = makeJob();
    const QByteArray firstBytes = TestSupport::readFile(first->pdfPath);
    const QByteArray secondBytes = TestSupport::readFile(second->pdfPath);

    m_service->appendJob(first);
    m_service->appendJob(second);

    const QStringList texts = settledNotifications(4);
    ASSERT_EQ(texts.size(), 4) << texts.join(" | ").toStdString();
    EXPECT_EQ(texts.first(), uploading());
    EXPECT_EQ(texts.last(), uploadSucceeded());
    QStringList middle = texts.mid(1, 2);
    middle.sort();
    QStringList expectedMiddle{uploading(), kUploadContinues};
    expectedMiddle.sort();
    EXPECT_EQ(middle, expectedMiddle);
    for (const auto &delivery : m_delivered->deliveries()) {
        EXPECT_EQ(delivery.title, Localizable::string("Tarvello"));
        EXPECT_TRUE(delivery.subtitle.isEmpty());
        EXPECT_EQ(delivery.thread, QThread::currentThread());
    }

    EXPECT_TRUE(m_service->isJobArrayEmpty());
    EXPECT_EQ(m_showLoginPosts, 0);
    EXPECT_EQ(requests("userLogin").size(), 1);
    // One for the login, two for each upload chain: no key pair is used twice.
    EXPECT_EQ(requests("getKeys").size(), 5);
    EXPECT_EQ(requests("getFtpInfo").size(), 0);

    const QJsonObject firstReport = reportOf(QFileInfo(first->pdfPath).fileName());
    const QJsonObject secondReport = reportOf(QFileInfo(second->pdfPath).fileName());
    for (const QJsonObject &report : {firstReport, secondReport}) {
        EXPECT_EQ(report.value("state").toString(), "1");
        EXPECT_EQ(report.value("type").toString(), "1");
        EXPECT_EQ(report.value("equip_config_id").toString(), FtpTargets::kJobEquipmentId);
        EXPECT_EQ(report.value("update_file_storage").toString(), "1");
    }
    EXPECT_EQ(TestSupport::readFile(storedPath(firstReport)), firstBytes);
    EXPECT_EQ(TestSupport::readFile(storedPath(secondReport)), secondBytes);
}

TEST_F(UploadChainTest, UnreachableJobTargetFallsBackToThePublicTarget)
{
    FaultRule unreachable = fault("addSubmitJobInfo");
    unreachable.ftpUnreachable = true;
    setFaults({unreachable});
    createService();
    const auto job = makeJob();
    const QByteArray bytes = TestSupport::readFile(job->pdfPath);

    uploadWithSavedIdentity(job);

    EXPECT_EQ(settledNotifications(2), (QStringList{uploading(), uploadSucceeded()}));
    EXPECT_TRUE(m_service->isJobArrayEmpty());
    EXPECT_EQ(job->attempts, 0);
    EXPECT_EQ(m_showLoginPosts, 0);
    EXPECT_EQ(requests("userLogin").size(), 0);
    EXPECT_EQ(requests("getKeys").size(), 3);
    EXPECT_EQ(lastMembers("getFtpInfo").value("isSystem").toString(), "1");

    const QJsonObject registered = requests("addSubmitJobInfo")
                                       .last()
                                       .toObject()
                                       .value("reply")
                                       .toObject()
                                       .value("answer")
                                       .toObject();
    const QJsonObject report = lastMembers("fileFtpUploadInfo");
    EXPECT_EQ(report.value("state").toString(), "1");
    EXPECT_EQ(report.value("equip_config_id").toString(), FtpTargets::kPublicEquipmentId);
    EXPECT_EQ(report.value("saveFileName").toString(),
              registered.value("dir").toString() + QFileInfo(job->pdfPath).fileName());
    EXPECT_EQ(TestSupport::readFile(storedPath(report)), bytes);
}

TEST_F(UploadChainTest, FailedUploadsCountAttemptsAndDropTheJobAfterTheFourth)
{
    FaultRule unreachable = fault(QString());
    unreachable.ftpUnreachable = true;
    setFaults({unreachable});
    createService();
    const auto job = makeJob();
    const auto waiting = makeJob();

    uploadWithSavedIdentity(job);
    m_service->appendJob(waiting);
    EXPECT_EQ(settledNotifications(2), (QStringList{uploading(), kUploadFailed}));
    EXPECT_EQ(job->attempts, 1);
    EXPECT_EQ(m_service->headJob(), job);
    EXPECT_EQ(m_showLoginPosts, 1);
    EXPECT_EQ(lastMembers("fileFtpUploadInfo").value("state").toString(), "0");
    EXPECT_EQ(lastMembers("fileFtpUploadInfo").value("update_file_storage").toString(), "0");

    // Only a new login restarts a kept job; here the window's login with the head job.
    for (int attempt = 2; attempt <= 4; ++attempt) {
        m_service->upload(savedIdentity(), m_service->headJob());
        settledNotifications(2 * attempt);
        EXPECT_EQ(job->attempts, attempt);
        EXPECT_EQ(m_showLoginPosts, attempt);
        if (attempt <= 3) {
            EXPECT_EQ(m_service->headJob(), job) << "attempt " << attempt;
        }
    }
    EXPECT_EQ(m_service->jobArray(), UploadService::JobList{waiting});
    // The job behind it is not started by itself.
    EXPECT_EQ(notificationTexts().size(), 8);
    EXPECT_EQ(waiting->attempts, 0);
}

// A job copy that another user replaces between the hand-off, which took it (present, or not yet
// there), and its upload.
class UploadCopySwapTest
    : public UploadChainTest,
      public ::testing::WithParamInterface<std::tuple<CopySwaps::CopySwap, bool>>
{};

TEST_P(UploadCopySwapTest, SwappedCopyIsAFailedUploadAndNothingReachesTheFtpServer)
{
    const auto &[swap, presentAtIntake] = GetParam();
    createService();
    const auto job = makeJob();
    const QString secret = QDir(m_dir.path()).filePath(QStringLiteral("secret.txt"));
    ASSERT_TRUE(TestSupport::writeFile(secret, "the user's secret"));
    // As the copy folder is: every user may write it.
    ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                        QFile::ExeOwner | QFile::ExeOther));
    ASSERT_TRUE(QFile::setPermissions(jobFolder(), QFile::Permissions(0x7777)));
    if (!presentAtIntake) {
        ASSERT_TRUE(QFile::remove(job->pdfPath));
    }
    ASSERT_TRUE(CopyFolderCheck(jobFolder()).refusal(job->pdfPath).isNull());

    ASSERT_TRUE(OtherUser::runScript(QLatin1String(swap.script), {job->pdfPath, secret}));
    uploadWithSavedIdentity(job);

    EXPECT_EQ(settledNotifications(2), (QStringList{uploading(), kUploadFailed}));
    EXPECT_EQ(job->attempts, 1);
    EXPECT_EQ(m_service->headJob(), job);
    const QJsonObject report = lastMembers("fileFtpUploadInfo");
    EXPECT_EQ(report.value("state").toString(), "0");
    // Neither the job's target nor the public one saw as much as its directory.
    EXPECT_EQ(lastMembers("getFtpInfo").value("isSystem").toString(), "1");
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(storedPath(report)).path()))
        << qPrintable(storedPath(report));
}

INSTANTIATE_TEST_SUITE_P(Swaps, UploadCopySwapTest,
                         ::testing::Combine(::testing::ValuesIn(CopySwaps::kCopySwaps),
                                            ::testing::Bool()),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_PresentAtIntake"
                                                             : "_MissingAtIntake");
                         });

// A service call refused before any upload was reported: its error is shown, the job keeps its
// place and its attempts, the login window is asked for, and no report is sent.
struct RefusedCall
{
    const char *name;
    QList<FaultRule> faults;
    int errcode;
    // Whether the chain got as far as asking for the public target.
    bool publicTargetRequested;
};

FaultRule refusal(const char *funType, int errcode)
{
    FaultRule rule;
    rule.funType = QLatin1String(funType);
    rule.errcode = errcode;
    return rule;
}

// The registration names a job target whose FTP server cannot be reached.
FaultRule unreachableJobTarget()
{
    FaultRule rule;
    rule.funType = QStringLiteral("addSubmitJobInfo");
    rule.ftpUnreachable = true;
    return rule;
}

const RefusedCall kRefusedCalls[] = {
    {"Registration", {refusal("addSubmitJobInfo", 14)}, 14, false},
    {"PublicTargetAfterTheJobTargetFailed",
     {unreachableJobTarget(), refusal("getFtpInfo", 31)},
     31,
     true},
};

class UploadRefusedCallTest : public UploadChainTest,
                              public ::testing::WithParamInterface<RefusedCall>
{};

TEST_P(UploadRefusedCallTest, KeepsTheJobAndItsAttemptsAndSendsNoReport)
{
    const RefusedCall &call = GetParam();
    setFaults(call.faults);
    createService();
    const auto job = makeJob();

    uploadWithSavedIdentity(job);

    EXPECT_EQ(settledNotifications(2),
              (QStringList{uploading(), HTTPManager::serviceError(call.errcode).description}));
    EXPECT_EQ(job->attempts, 0);
    EXPECT_EQ(m_service->headJob(), job);
    EXPECT_EQ(m_showLoginPosts, 1);
    EXPECT_EQ(requests("fileFtpUploadInfo").size(), 0);
    EXPECT_EQ(requests("getFtpInfo").size(), call.publicTargetRequested ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Calls, UploadRefusedCallTest, ::testing::ValuesIn(kRefusedCalls),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(UploadChainTest, FailedReportAfterAGoodUploadKeepsTheJob)
{
    FaultRule refused = fault("fileFtpUploadInfo");
    refused.errcode = 90;
    setFaults({refused});
    createService();
    const auto job = makeJob();
    const QByteArray bytes = TestSupport::readFile(job->pdfPath);

    uploadWithSavedIdentity(job);

    EXPECT_EQ(settledNotifications(2),
              (QStringList{uploading(), HTTPManager::serviceError(90).description}));
    EXPECT_EQ(job->attempts, 0);
    EXPECT_EQ(m_service->headJob(), job);
    EXPECT_EQ(m_showLoginPosts, 1);
    const QJsonObject report = lastMembers("fileFtpUploadInfo");
    EXPECT_EQ(report.value("state").toString(), "1");
    EXPECT_EQ(TestSupport::readFile(storedPath(report)), bytes);
}

TEST_F(UploadChainTest, ReportWithoutEquipmentIdHasNoStorageFlag)
{
    const FtpTargets::Server &server = sim().ftpTargets().jobServer;
    FaultRule noEquipment = fault("addSubmitJobInfo");
    noEquipment.body = QJsonDocument(QJsonObject{{"errcode", 0},
                                                 {"jobId", 4711},
                                                 {"ip", server.host},
                                                 {"port", QString::number(server.port)},
                                                 {"user", server.user},
                                                 {"pwd", server.password},
                                                 {"dir", "/no-equipment/"}})
                           .toJson(QJsonDocument::Compact);
    setFaults({noEquipment});
    createService();
    const auto job = makeJob();

    uploadWithSavedIdentity(job);

    // The simulator knows no job 4711 and refuses the report; what matters is what was sent.
    settledNotifications(2);
    const QJsonObject report = lastMembers("fileFtpUploadInfo");
    ASSERT_FALSE(report.isEmpty());
    EXPECT_EQ(report.value("state").toString(), "1");
    EXPECT_EQ(report.value("jobId").toString(), "4711");
    EXPECT_FALSE(report.contains("equip_config_id"));
    EXPECT_FALSE(report.contains("update_file_storage"));
}

TEST_F(UploadChainTest, LoginWithoutAJobEndsInLoginSuccessful)
{
    createService();
    const auto removed = makeJob();

    m_service->login(kUser, kPassword, kEntKey, nullptr);
    EXPECT_EQ(settledNotifications(1), QStringList{Localizable::string("Login successful")});
    EXPECT_TRUE(m_service->isLogin());
    EXPECT_EQ(m_showLoginPosts, 0);
    EXPECT_EQ(m_delivered->removals(), 1);

    // A job that has left the list meanwhile counts as no job.
    m_service->login(kUser, kPassword, kEntKey, removed);
    EXPECT_EQ(settledNotifications(2).last(), Localizable::string("Login successful"));
    EXPECT_EQ(requests("addSubmitJobInfo").size(), 0);
    EXPECT_EQ(m_showLoginPosts, 0);
}

TEST_F(UploadChainTest, RefusedLoginAsksForTheLoginWindow)
{
    createService();
    const auto job = makeJob();
    m_service->appendJob(job);
    ASSERT_EQ(m_showLoginPosts, 0);
    TestSupport::waitUntil([&] { return m_showLoginPosts == 1; }, 5s);

    m_service->login(kUser, "wrong", kEntKey, job);

    EXPECT_EQ(settledNotifications(1), QStringList{HTTPManager::serviceError(2).description});
    EXPECT_EQ(m_showLoginPosts, 2);
    EXPECT_FALSE(m_service->isLogin());
    EXPECT_EQ(m_service->headJob(), job);
    EXPECT_EQ(requests("addSubmitJobInfo").size(), 0);
}

} // namespace
