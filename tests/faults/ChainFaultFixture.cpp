#include "ChainFaultFixture.h"

#include "support/TestSupport.h"

#include "client/network/FTPFileUpload.h"
#include "client/platform/Localizable.h"
#include "client/service/InactiveLoginWindowState.h"

#include <QDir>
#include <QRandomGenerator>
#include <QUuid>

using namespace std::chrono_literals;

namespace {

constexpr std::chrono::milliseconds kFtpDirectoryTimeout = 3s;
constexpr std::chrono::milliseconds kSettleTime = 300ms;
constexpr std::chrono::milliseconds kChainLimit = 30s;
// Larger than the fault FTP server's cut, so that an upload is cut halfway.
constexpr int kJobBytes = 256 * 1024;
// Never reached in a test: exits are recorded, not taken.
constexpr UploadService::Intervals kNoIdleExit{std::chrono::hours(1), std::chrono::hours(1)};

} // namespace

void ChainFaultFixture::SetUpTestSuite()
{
    Localizable::install(QLocale(QLocale::English));
}

void ChainFaultFixture::start(const QString &ftpFault, std::chrono::milliseconds transportTimeout)
{
    ASSERT_TRUE(m_dir.isValid());
    m_ftp = std::make_unique<FtpServerFixture>(FtpServerFixture::defaultScript(),
                                               QStringList{QStringLiteral("--fault"), ftpFault});
    ASSERT_TRUE(m_ftp->start()) << m_ftp->errorString().toStdString();

    SimOptions options;
    options.accountArguments = {QStringLiteral("%1:%2:%3").arg(kEntKey, kUser, kPassword)};
    options.externalFtp = FtpTargets::Server{QStringLiteral("127.0.0.1"), m_ftp->port(),
                                             m_ftp->user(), m_ftp->password()};
    m_sim = std::make_unique<ServiceSimulator>(std::move(options));
    const auto started = m_sim->start();
    ASSERT_TRUE(started.ok()) << started.error().description.toStdString();
    ASSERT_TRUE(m_proxy.start(m_sim->httpPort()));

    const QString iniPath = m_dir.filePath(QStringLiteral("setup.ini"));
    ASSERT_TRUE(TestSupport::writeFile(
        iniPath, QStringLiteral("ServiceIP=127.0.0.1\nServicePort=%1\nFTPName=ftp-main\n")
                     .arg(m_proxy.port())
                     .toUtf8()));
    m_transport = std::make_unique<HTTPManager>(transportTimeout);
    m_config = std::make_unique<IniConfig>(iniPath, *m_transport);
    m_config->readIniConfig();
    m_http = std::make_unique<HTTPService>(*m_transport);
    m_notifications = std::make_unique<PRNotification>(m_delivered);

    m_settings.emplace(m_dir.filePath(QStringLiteral("config/Tarvello/default.ini")));
    m_settings->saveUserName(QString::fromLatin1(kUser));
    m_settings->saveUserPassword(QString::fromLatin1(kPassword));
    m_settings->saveEntKey(QString::fromLatin1(kEntKey));
    m_settings->saveIsSeveAccount(true);

    QObject::connect(&m_notificationCenter, &NotificationCenter::notificationPosted,
                     [this](const QString &name) {
                         if (name == NotificationCenter::kNotificationShowLoginWindow)
                             ++m_showLoginPosts;
                     });
    m_service = std::make_unique<UploadService>(UploadService::Collaborators{
        .settings = *m_settings,
        .config = *m_config,
        .http = *m_http,
        .notifications = *m_notifications,
        .notificationCenter = m_notificationCenter,
        .loginWindow = std::make_shared<InactiveLoginWindowState>(),
        .ftpUploader =
            [jobs = m_dir.filePath(QStringLiteral("jobs"))] {
                return std::make_unique<FTPFileUpload>(CopyFolderCheck(jobs), kFtpDirectoryTimeout);
            },
        .exitProcess = [this](int status) { m_exits << status; },
        .intervals = kNoIdleExit,
        .jobFolder = m_dir.filePath(QStringLiteral("moved")),
    });
}

void ChainFaultFixture::TearDown()
{
    m_service.reset();
    // Lets replies and timers of the transport end before it goes.
    TestSupport::spin(50ms);
    m_http.reset();
    m_config.reset();
    m_transport.reset();
    m_sim.reset();
    m_ftp.reset();
}

UploadService::Job ChainFaultFixture::appendJob()
{
    QByteArray bytes = "%PDF-1.4\n";
    for (int i = 0; i < kJobBytes; ++i)
        bytes.append(char(QRandomGenerator::global()->bounded(256)));
    bytes.append("\n%%EOF\n");
    QDir(m_dir.path()).mkpath(QStringLiteral("jobs"));
    const QString path =
        m_dir.filePath(QStringLiteral("jobs/%1.pdf")
                           .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()));
    EXPECT_TRUE(TestSupport::writeFile(path, bytes));

    auto job = std::make_shared<PrnParameterModel>();
    job->jobId = QStringLiteral("17");
    job->pdfPath = path;
    job->fileName = QStringLiteral("Quarterly report.pdf");
    job->copiesCount = QStringLiteral("1");
    job->direction = QStringLiteral("1");
    job->doublePrint = QStringLiteral("0");
    job->color = QStringLiteral("0");
    job->pagerSizeCode = QStringLiteral("9");
    job->pagerSize = QStringLiteral("A4");
    job->pages = QStringLiteral("1");
    job->pageTotal = QStringLiteral("1");
    job->fileSize = QString::number(bytes.size());
    m_service->appendJob(job);
    return job;
}

void ChainFaultFixture::loginAgain()
{
    m_service->login(QString::fromLatin1(kUser), QString::fromLatin1(kPassword),
                     QString::fromLatin1(kEntKey), m_service->headJob());
}

QStringList ChainFaultFixture::settledNotifications(int count)
{
    TestSupport::waitUntil([&] { return m_delivered->deliveries().size() >= count; }, kChainLimit);
    TestSupport::spin(kSettleTime);
    QStringList texts;
    for (const auto &delivery : m_delivered->deliveries())
        texts << delivery.body;
    return texts;
}

QJsonObject ChainFaultFixture::lastMembers(const QString &funType) const
{
    QJsonObject members;
    for (const QJsonValue &entry : m_sim->context().requests.entries()) {
        if (entry.toObject().value("funType").toString() == funType)
            members = entry.toObject().value("members").toObject();
    }
    return members;
}

void ChainFaultFixture::setSimFaults(const QList<FaultRule> &faults)
{
    m_sim->context().faults.setRules(faults);
}

QString ChainFaultFixture::uploadSucceededText()
{
    return Localizable::string("Upload succesd");
}

QString ChainFaultFixture::loginSucceededText()
{
    return Localizable::string("Login successful");
}

QString ChainFaultFixture::uploadFailedText()
{
    return QStringLiteral("文件上传失败");
}
