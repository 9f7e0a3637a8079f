#include "UploadService.h"

#include "InactiveLoginWindowState.h"
#include "NotificationCenter.h"
#include "ServiceText.h"

#include "client/config/IniConfig.h"
#include "client/models/VQAddSubmitJobInfoRequest.h"
#include "client/models/VQFileFtpUploadInfoRequest.h"
#include "client/models/VQJobInfoResult.h"
#include "client/network/FTPFileUpload.h"
#include "client/platform/AssertionHandler.h"
#include "client/platform/Localizable.h"
#include "client/service/HTTPService.h"
#include "client/settings/SettingsStore.h"
#include "client/tools/PRNotification.h"
#include "foundation/BaseTools.h"
#include "foundation/Record.h"
#include "foundation/ResumeOnThreadOf.h"
#include "foundation/logging/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

namespace {

constexpr auto kTitleKey = "Tarvello";
constexpr auto kUploadingKey = "Uploading ...";
constexpr auto kUploadSucceededKey = "Upload succesd";
constexpr auto kLoginSuccessfulKey = "Login successful";
constexpr auto kUploadContinues = u"继续上传任务";
constexpr auto kUploadFailed = u"文件上传失败";

constexpr auto kDateMember = "date";
constexpr auto kDalvemorKeysMember = "DalvemorKeys";
constexpr auto kFtpUploaded = "1";
constexpr auto kReportType = "1";
constexpr auto kStateUploaded = "1";
constexpr auto kStateFailed = "0";
// A service errcode that counts as success; the upload chain treats it like its own success.
constexpr int kWaitVerifyErrcode = 21;

QString utf16(const char16_t *text)
{
    return QString::fromUtf16(text);
}

Error chainError(int code, const QString &description)
{
    return Error{latin1(UploadService::kErrorDomain), code, description};
}

} // namespace

UploadService &UploadService::sharedInstance()
{
    static UploadService *const instance = new UploadService(Collaborators{
        .settings = SettingsStore::defaults(),
        .config = IniConfig::shareInstacne(),
        .http = HTTPService::sharedInstance(),
        .notifications = PRNotification::shareManager(),
        .notificationCenter = NotificationCenter::defaultCenter(),
        .loginWindow = std::make_shared<InactiveLoginWindowState>(),
        .ftpUploader = [] { return std::make_unique<FTPFileUpload>(); },
        // Leaves the event loop, so that the application shell ends as on any normal quit.
        .exitProcess = [](int status) { QCoreApplication::exit(status); },
    });
    return *instance;
}

UploadService::UploadService(Collaborators collaborators, QObject *parent)
    : QObject(parent)
    , m_settings(collaborators.settings)
    , m_config(collaborators.config)
    , m_http(collaborators.http)
    , m_notifications(collaborators.notifications)
    , m_notificationCenter(collaborators.notificationCenter)
    , m_loginWindow(std::move(collaborators.loginWindow))
    , m_ftpUploader(std::move(collaborators.ftpUploader))
    , m_exitProcess(std::move(collaborators.exitProcess))
    , m_intervals(collaborators.intervals)
    , m_jobFolder(std::move(collaborators.jobFolder))
{
    if (!m_loginWindow)
        m_loginWindow = std::make_shared<InactiveLoginWindowState>();
    startTimer();
}

UploadService::~UploadService()
{
    // Operations not started hold this object; none may outlive it.
    m_queue.cancelAllOperations();
}

void UploadService::setLoginWindowState(std::shared_ptr<const LoginWindowState> loginWindow)
{
    if (!loginWindow) {
        AssertionHandler::handleFailure("must not be nil");
        return;
    }
    m_loginWindow = std::move(loginWindow);
}

void UploadService::startTimer()
{
    // Coarse timers may fire up to 5 % early; the idle exit must never come before its time.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(m_intervals.idleTimer);
    connect(&m_timer, &QTimer::timeout, this, &UploadService::handleJobIsEmpty);
    m_timer.start();
}

void UploadService::handleJobIsEmpty()
{
    QTimer::singleShot(m_intervals.idleCheckDelay, Qt::PreciseTimer, this, [this] {
        if (isJobArrayEmpty() && !m_loginWindow->isActive())
            m_exitProcess(kIdleExitStatus);
    });
}

void UploadService::appendJob(Job job)
{
    // Stopped even for a null job: any hand-off means the client was wanted.
    m_timer.stop();
    if (!job) {
        qInfo("appendJob, job is nil");
        return;
    }
    m_uploadServicelock.acquire();
    const bool wasEmpty = m_jobArray.isEmpty();
    m_jobArray.append(job);
    m_uploadServicelock.release();
    qInfo("appendJob Job, job count %lld", qlonglong(m_jobArray.size()));

    // A job behind others waits until the upload chain reaches it.
    if (wasEmpty)
        QMetaObject::invokeMethod(
            this, [this, job] { handleJobAdd(job); }, Qt::QueuedConnection);
}

void UploadService::removeJob(const Job &job)
{
    if (!job) {
        qInfo("removeJob, job is nil");
        return;
    }
    m_uploadServicelock.acquire();
    m_jobArray.removeAll(job);
    m_uploadServicelock.release();
    qInfo("removed Job, job count %lld", qlonglong(m_jobArray.size()));

    if (m_jobArray.isEmpty())
        QMetaObject::invokeMethod(this, &UploadService::handleJobIsEmpty, Qt::QueuedConnection);
}

bool UploadService::isJobArrayEmpty() const
{
    return m_jobArray.isEmpty();
}

UploadService::Job UploadService::headJob() const
{
    return m_jobArray.isEmpty() ? nullptr : m_jobArray.first();
}

void UploadService::handleJobAdd(const Job &job)
{
    if (m_loginWindow->isActive()) {
        qInfo("handleJobAdd, loginWindow isActive");
        return;
    }
    if (m_settings.isScanQrcode()) {
        // The identity of the last QR login, as saved; empty values go into the chain as they are.
        VQLoginResult saved;
        saved.userId = m_settings.userid();
        saved.entkey = m_settings.entKey();
        saved.entId = m_settings.entid();
        QMetaObject::invokeMethod(
            this, [this, saved, job] { upload(saved, job); }, Qt::QueuedConnection);
        return;
    }
    const QString userName = m_settings.userName();
    const QString password = m_settings.userPassword();
    const QString iniEntKey = m_config.getIniConfigModel().entKey();
    const QString entKey = iniEntKey.isEmpty() ? m_settings.entKey() : iniEntKey;
    const bool accountComplete = !userName.isEmpty() && !password.isEmpty() && !entKey.isEmpty();
    if ((m_isLogin || m_settings.isSaveAccount()) && accountComplete) {
        QMetaObject::invokeMethod(
            this,
            [this, userName, password, entKey, job] { login(userName, password, entKey, job); },
            Qt::QueuedConnection);
        return;
    }
    showLoginWindow();
}

void UploadService::login(QString userName, QString password, QString entKey, Job job)
{
    // The chain goes on by itself once started; its task is not kept.
    addOperation(
        [this, userName, password, entKey, job] { asyncLogin(userName, password, entKey, job); });
}

void UploadService::upload(VQLoginResult loginResult, Job job)
{
    if (!job) {
        AssertionHandler::handleFailure("must not be nil");
        return;
    }
    addOperation([this, loginResult, job] { asyncUpload(loginResult, job); });
}

void UploadService::addOperation(OperationQueue::Operation operation)
{
    m_queue.addOperation(std::move(operation));
}

void UploadService::cancelAllOperations()
{
    m_queue.cancelAllOperations();
}

void UploadService::pause()
{
    if (m_queue.operationCount() == 0) {
        qInfo("没有操作");
    } else if (!m_queue.isSuspended()) {
        qInfo("暂停");
        m_queue.setSuspended(true);
    } else {
        qInfo("已经暂停");
    }
}

void UploadService::resume()
{
    if (m_queue.operationCount() == 0) {
        qInfo("没有操作");
    } else if (m_queue.isSuspended()) {
        qInfo("继续");
        m_queue.setSuspended(false);
    } else {
        qInfo("正在执行");
    }
}

void UploadService::handleJobInfo(const Job &job)
{
    if (!job) {
        AssertionHandler::handleFailure("must not be nil");
        return;
    }
    const QString name = BaseTools::stringWithFtpUuid();
    const QString newPath = QStringLiteral("%1/%2.pdf").arg(m_jobFolder, name);
    // A move that fails leaves the file and the job as they were: deleting the old path then
    // would lose the job's only copy.
    if (!QFile::rename(job->pdfPath, newPath)) {
        Log::client(
            QStringLiteral("!!jobFlag:%1, cannot move %2 to %3").arg(name, job->pdfPath, newPath));
        return;
    }
    job->pdfPath = newPath;
    Log::client(QStringLiteral("##jobFlag:%1, fileName: %2, filePath:%3")
                    .arg(name, job->fileName, newPath));
}

QCoro::Task<> UploadService::asyncLogin(QString userName, QString password, QString entKey, Job job)
{
    m_notifications.removeDeliveredNotifications();
    co_await ResumeOnMainThread{};

    auto loginRequest = m_http.loginWithUserName(userName, password, entKey);
    const Result<VQLoginResult> identity = co_await std::move(loginRequest);
    if (identity && job && !isJobArrayEmpty()) {
        // Ends with the upload chain, which handles its own outcome.
        auto uploadChain = asyncUpload(identity.value(), job);
        co_await std::move(uploadChain);
        co_return;
    }
    if (identity) {
        m_isLogin = true;
        handleLoginOutcome(chainError(kLoggedInCode, Localizable::string(kLoginSuccessfulKey)));
    } else {
        handleLoginOutcome(identity.error());
    }
}

void UploadService::handleLoginOutcome(const Error &outcome)
{
    notifyOnMainThread(outcome.description);
    // A failed login brings the login window back; a login without a job does not.
    if (outcome.code != kLoggedInCode)
        showLoginWindow();
    Log::client(
        QStringLiteral("error code: %1, error msg:%2").arg(outcome.code).arg(outcome.description));
}

QCoro::Task<> UploadService::asyncUpload(VQLoginResult loginResult, Job job)
{
    notifyOnMainThread(Localizable::string(kUploadingKey));
    co_await ResumeOnMainThread{};

    auto steps = uploadSteps(std::move(loginResult), job);
    const Error outcome = co_await std::move(steps);
    handleUploadOutcome(outcome, job);
}

QCoro::Task<Error> UploadService::uploadSteps(VQLoginResult loginResult, Job job)
{
    auto keyRequest = m_http.getDalvemorKeyWithEntKey(loginResult.entkey);
    const Result<QJsonObject> keys = co_await std::move(keyRequest);
    if (!keys)
        co_return keys.error();
    loginResult.date = textMember(keys.value(), kDateMember);
    loginResult.DalvemorKeys = textMember(keys.value(), kDalvemorKeysMember);

    VQAddSubmitJobInfoRequest registration;
    registration.convertFromVQLoginResult(loginResult, *job, m_config.getIniConfigModel());
    auto registrationRequest = m_http.addSubmitJobInfo(registration);
    const Result<VQJobInfoResult> registered = co_await std::move(registrationRequest);
    if (!registered)
        co_return registered.error();
    VQJobInfoResult target = registered.value();

    const std::unique_ptr<FTPFileUpload> firstUploader = m_ftpUploader();
    auto firstUpload = firstUploader->uploadFileWithFtpInfo(target, job->pdfPath);
    QString ftpResult = co_await std::move(firstUpload);

    if (ftpResult != latin1(kFtpUploaded)) {
        Log::client(QStringLiteral(
            "!! file upload failed, try to get public ftp info and to second upload"));
        auto publicRequest =
            m_http.getFtpInfoWithUserId(loginResult.userId, loginResult.entkey, true);
        const Result<VQJobInfoResult> publicTarget = co_await std::move(publicRequest);
        if (!publicTarget)
            co_return publicTarget.error();
        // Into the job's own directory on the public server.
        target.ip = publicTarget->ip;
        target.user = publicTarget->user;
        target.pwd = publicTarget->pwd;
        target.port = publicTarget->port;
        target.equip_config_id = publicTarget->equip_config_id;
        const std::unique_ptr<FTPFileUpload> secondUploader = m_ftpUploader();
        auto secondUpload = secondUploader->uploadFileWithFtpInfo(target, job->pdfPath);
        ftpResult = co_await std::move(secondUpload);
    }

    const bool uploaded = ftpResult == latin1(kFtpUploaded);
    VQFileFtpUploadInfoRequest report;
    report.jobId = target.jobId;
    report.saveFileName = target.dir + QFileInfo(job->pdfPath).fileName();
    report.entId = loginResult.entId;
    report.type = latin1(kReportType);
    report.state = latin1(uploaded ? kStateUploaded : kStateFailed);
    report.equip_config_id = target.equip_config_id;
    if (!report.equip_config_id.isNull())
        report.update_file_storage = report.state;
    auto reportRequest = m_http.fileFtpUploadInfo(report, loginResult.entkey);
    const Result<QJsonObject> reported = co_await std::move(reportRequest);
    if (!reported)
        co_return reported.error();

    if (!uploaded)
        co_return chainError(kUploadFailedCode, utf16(kUploadFailed));
    removeJob(job);
    if (isJobArrayEmpty())
        co_return chainError(kUploadedCode, Localizable::string(kUploadSucceededKey));
    upload(loginResult, headJob());
    co_return chainError(kUploadedCode, utf16(kUploadContinues));
}

void UploadService::handleUploadOutcome(const Error &outcome, const Job &job)
{
    notifyOnMainThread(outcome.description);
    if (outcome.code == kUploadFailedCode) {
        ++job->attempts;
        if (job->attempts > kMaxAttempts)
            removeJob(job);
        showLoginWindow();
    } else if (outcome.code != kUploadedCode && outcome.code != kWaitVerifyErrcode) {
        showLoginWindow();
    }
    Log::client(
        QStringLiteral("error code: %1, error msg:%2").arg(outcome.code).arg(outcome.description));
}

void UploadService::notifyOnMainThread(const QString &text)
{
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            m_notifications.pushNotificationWithTitle(Localizable::string(kTitleKey),
                                                      QStringLiteral(""), text);
        },
        Qt::QueuedConnection);
}

void UploadService::showLoginWindow()
{
    m_notificationCenter.postNotificationName(
        latin1(NotificationCenter::kNotificationShowLoginWindow));
}
