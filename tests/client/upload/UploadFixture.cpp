#include "UploadFixture.h"

#include "support/TestSupport.h"

#include "client/network/FTPFileUpload.h"
#include "client/platform/Localizable.h"

#include <QDir>
#include <QRandomGenerator>
#include <QUuid>

using namespace std::chrono_literals;

namespace {

constexpr auto kConfigHome = "XDG_CONFIG_HOME";
constexpr std::chrono::milliseconds kTransportTimeout = 5s;
constexpr std::chrono::milliseconds kFtpDirectoryTimeout = 3s;
constexpr std::chrono::milliseconds kChainLimit = 30s;
constexpr std::chrono::milliseconds kSettleTime = 300ms;
constexpr int kRandomJobBytes = 96 * 1024;

} // namespace

void UploadFixture::SetUpTestSuite()
{
    Localizable::install(QLocale(QLocale::English));
    s_suiteDir = std::make_unique<QTemporaryDir>();
    SimOptions options;
    options.accountArguments = {QStringLiteral("%1:%2:%3").arg(kEntKey, kUser, kPassword),
                                QStringLiteral("%1:%2:%3").arg(kOtherEntKey, "carol", "pw")};
    options.ftpRoot = QDir(s_suiteDir->path()).filePath("ftp-root");
    options.ftpScript = QStringLiteral(VQM_SOURCE_DIR "/tools/service-sim/vqm-sim-ftpd.py");
    s_sim = std::make_unique<ServiceSimulator>(std::move(options));
    const auto started = s_sim->start();
    s_startFailure = started ? QString() : started.error().description;
}

void UploadFixture::TearDownTestSuite()
{
    s_sim.reset();
    s_suiteDir.reset();
}

void UploadFixture::SetUp()
{
    ASSERT_TRUE(s_startFailure.isEmpty()) << s_startFailure.toStdString();
    sim().context().requests.clear();
    setFaults({});

    m_dir = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(m_dir->isValid());
    m_previousConfigHome = qgetenv(kConfigHome);
    qputenv(kConfigHome, QDir(m_dir->path()).filePath("config").toLocal8Bit());
    m_settings.emplace(SettingsStore::defaultFilePath());

    m_transport = std::make_unique<HTTPManager>(kTransportTimeout);
    m_http = std::make_unique<HTTPService>(*m_transport);
    m_delivered = std::make_shared<RecordingNotificationCenter>();
    m_notifications = std::make_unique<PRNotification>(m_delivered);
    m_loginWindow = std::make_shared<SettableLoginWindowState>();
    QObject::connect(&m_notificationCenter, &NotificationCenter::notificationPosted,
                     [this](const QString &name) {
                         if (name == NotificationCenter::kNotificationShowLoginWindow)
                             ++m_showLoginPosts;
                     });
}

void UploadFixture::TearDown()
{
    m_service.reset();
    // Lets replies and timers of the transport end before it goes.
    TestSupport::spin(20ms);
    m_http.reset();
    m_config.reset();
    m_transport.reset();
    m_settings.reset();
    if (m_previousConfigHome.isNull())
        qunsetenv(kConfigHome);
    else
        qputenv(kConfigHome, m_previousConfigHome);
}

void UploadFixture::createService(const QString &iniEntKey, UploadService::Intervals intervals)
{
    const QString iniPath = QDir(m_dir->path()).filePath("setup.ini");
    QString ini = QStringLiteral("ServiceIP=127.0.0.1\nServicePort=%1\nFTPName=ftp-main\n")
                      .arg(sim().httpPort());
    if (!iniEntKey.isNull())
        ini += QStringLiteral("EntKey=%1\n").arg(iniEntKey);
    ASSERT_TRUE(TestSupport::writeFile(iniPath, ini.toUtf8()));
    m_config = std::make_unique<IniConfig>(iniPath, *m_transport);
    m_config->readIniConfig();

    m_sinceCreation.start();
    m_service = std::make_unique<UploadService>(UploadService::Collaborators{
        .settings = *m_settings,
        .config = *m_config,
        .http = *m_http,
        .notifications = *m_notifications,
        .notificationCenter = m_notificationCenter,
        .loginWindow = m_loginWindow,
        .ftpUploader =
            [jobs = jobFolder()] {
                return std::make_unique<FTPFileUpload>(CopyFolderCheck(jobs), kFtpDirectoryTimeout);
            },
        .exitProcess =
            [this](int status) {
                if (m_exitStatuses.isEmpty())
                    m_firstExitAfterMs = m_sinceCreation.elapsed();
                m_exitStatuses << status;
            },
        .intervals = intervals,
        .jobFolder = QDir(m_dir->path()).filePath("moved"),
    });
}

UploadService::Job UploadFixture::makeJob(const QByteArray &content)
{
    QByteArray bytes = content;
    if (bytes.isEmpty()) {
        bytes = "%PDF-1.4\n";
        for (int i = 0; i < kRandomJobBytes; ++i)
            bytes.append(char(QRandomGenerator::global()->bounded(256)));
        bytes.append("\n%%EOF\n");
    }
    QDir().mkpath(jobFolder());
    const QString path = QDir(jobFolder())
                             .filePath(QStringLiteral("%1.pdf").arg(
                                 QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()));
    EXPECT_TRUE(TestSupport::writeFile(path, bytes));

    auto job = std::make_shared<PrnParameterModel>();
    job->jobId = QStringLiteral("17");
    job->pdfPath = path;
    job->fileName = QStringLiteral("Quarterly report.pdf");
    job->copiesCount = QStringLiteral("2");
    job->direction = QStringLiteral("1");
    job->doublePrint = QStringLiteral("0");
    job->color = QStringLiteral("0");
    job->pagerSizeCode = QStringLiteral("9");
    job->pagerSize = QStringLiteral("A4");
    job->pages = QStringLiteral("3");
    job->pageTotal = QStringLiteral("6");
    job->fileSize = QString::number(bytes.size());
    return job;
}

QString UploadFixture::jobFolder() const
{
    return QDir(m_dir->path()).filePath(QStringLiteral("jobs"));
}

void UploadFixture::saveAccount(bool saveAccountOn)
{
    m_settings->saveUserName(QString::fromLatin1(kUser));
    m_settings->saveUserPassword(QString::fromLatin1(kPassword));
    m_settings->saveEntKey(QString::fromLatin1(kEntKey));
    m_settings->saveIsSeveAccount(saveAccountOn);
}

VQLoginResult UploadFixture::savedIdentity() const
{
    const SimAccount *account =
        sim().context().accounts.find(QString::fromLatin1(kEntKey), QString::fromLatin1(kUser));
    VQLoginResult identity;
    identity.entkey = QString::fromLatin1(kEntKey);
    identity.entId = account ? account->entId : QString();
    identity.userId = account ? account->userId : QString();
    return identity;
}

QJsonArray UploadFixture::requests(const QString &funType)
{
    QJsonArray matching;
    for (const QJsonValue &entry : sim().context().requests.entries()) {
        if (funType.isNull() || entry.toObject().value("funType").toString() == funType)
            matching.append(entry);
    }
    return matching;
}

QJsonObject UploadFixture::lastMembers(const QString &funType)
{
    const QJsonArray matching = requests(funType);
    return matching.isEmpty() ? QJsonObject()
                              : matching.last().toObject().value("members").toObject();
}

void UploadFixture::setFaults(const QList<FaultRule> &faults)
{
    sim().context().faults.setRules(faults);
}

FaultRule UploadFixture::fault(const QString &funType)
{
    FaultRule rule;
    rule.funType = funType;
    return rule;
}

QStringList UploadFixture::notificationTexts() const
{
    QStringList texts;
    for (const auto &delivery : m_delivered->deliveries())
        texts << delivery.body;
    return texts;
}

bool UploadFixture::waitForNotifications(int count)
{
    return TestSupport::waitUntil([&] { return m_delivered->deliveries().size() >= count; },
                                  kChainLimit);
}

QStringList UploadFixture::settledNotifications(int count)
{
    EXPECT_TRUE(waitForNotifications(count)) << notificationTexts().join(" | ").toStdString();
    TestSupport::spin(kSettleTime);
    return notificationTexts();
}
