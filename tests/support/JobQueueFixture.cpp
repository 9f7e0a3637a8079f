#include "JobQueueFixture.h"

#include "support/TestSupport.h"

#include "client/network/FTPFileUpload.h"
#include "client/platform/Localizable.h"

#include <QDir>
#include <QRandomGenerator>
#include <QUuid>

using namespace std::chrono_literals;

namespace {

constexpr auto kConfigHome = "XDG_CONFIG_HOME";
constexpr std::chrono::milliseconds kFtpDirectoryTimeout = 3s;
constexpr std::chrono::milliseconds kChainLimit = 30s;
constexpr std::chrono::milliseconds kSettleTime = 300ms;
// Lets replies and timers of the transport end before it goes.
constexpr std::chrono::milliseconds kTransportWindDown = 50ms;

} // namespace

void JobQueueFixture::SetUpTestSuite()
{
    Localizable::install(QLocale(QLocale::English));
}

void JobQueueFixture::TearDownTestSuite()
{
    s_suiteSim.reset();
    s_suiteDir.reset();
}

void JobQueueFixture::startSuiteSimulator(const QStringList &accountArguments)
{
    SetUpTestSuite();
    s_suiteDir = std::make_unique<QTemporaryDir>();
    SimOptions options;
    options.accountArguments = accountArguments;
    options.ftpRoot = QDir(s_suiteDir->path()).filePath("ftp-root");
    options.ftpScript = QStringLiteral(VQM_SOURCE_DIR "/tools/service-sim/vqm-sim-ftpd.py");
    s_suiteSim = std::make_unique<ServiceSimulator>(std::move(options));
    const auto started = s_suiteSim->start();
    s_suiteStartFailure = started ? QString() : started.error().description;
}

ServiceSimulator &JobQueueFixture::sim() const
{
    return *s_suiteSim;
}

void JobQueueFixture::SetUp()
{
    if (s_suiteSim) {
        ASSERT_TRUE(s_suiteStartFailure.isEmpty()) << s_suiteStartFailure.toStdString();
        sim().context().requests.clear();
        setFaults({});
    }

    ASSERT_TRUE(m_dir.isValid());
    m_previousConfigHome = qgetenv(kConfigHome);
    qputenv(kConfigHome, QDir(m_dir.path()).filePath("config").toLocal8Bit());
    m_settings.emplace(SettingsStore::defaultFilePath());

    createTransport(kTransportTimeout);
    m_notifications = std::make_unique<PRNotification>(m_delivered);
    QObject::connect(&m_notificationCenter, &NotificationCenter::notificationPosted,
                     [this](const QString &name) {
                         if (name == NotificationCenter::kNotificationShowLoginWindow)
                             ++m_showLoginPosts;
                     });
}

void JobQueueFixture::TearDown()
{
    m_service.reset();
    TestSupport::spin(kTransportWindDown);
    m_http.reset();
    m_config.reset();
    m_transport.reset();
    m_settings.reset();
    if (m_previousConfigHome.isNull())
        qunsetenv(kConfigHome);
    else
        qputenv(kConfigHome, m_previousConfigHome);
}

void JobQueueFixture::createTransport(std::chrono::milliseconds timeout)
{
    m_http.reset();
    m_transport = std::make_unique<HTTPManager>(timeout);
    m_http = std::make_unique<HTTPService>(*m_transport);
}

void JobQueueFixture::readIniConfig(quint16 servicePort, const QString &entKey,
                                    const QString &furtherLines)
{
    const QString iniPath = m_dir.filePath(QStringLiteral("setup.ini"));
    QString text =
        QStringLiteral("ServiceIP=127.0.0.1\nServicePort=%1\nFTPName=ftp-main\n").arg(servicePort) +
        furtherLines;
    if (!entKey.isNull())
        text += QStringLiteral("EntKey=%1\n").arg(entKey);
    ASSERT_TRUE(TestSupport::writeFile(iniPath, text.toUtf8()));
    m_config = std::make_unique<IniConfig>(iniPath, *m_transport);
    m_config->readIniConfig();
}

void JobQueueFixture::createJobQueue(std::shared_ptr<LoginWindowState> loginWindow,
                                     UploadService::Intervals intervals)
{
    m_sinceCreation.start();
    m_service = std::make_unique<UploadService>(UploadService::Collaborators{
        .settings = *m_settings,
        .config = *m_config,
        .http = *m_http,
        .notifications = *m_notifications,
        .notificationCenter = m_notificationCenter,
        .loginWindow = std::move(loginWindow),
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
        .jobFolder = m_dir.filePath(QStringLiteral("moved")),
    });
}

QString JobQueueFixture::jobFolder() const
{
    return m_dir.filePath(QStringLiteral("jobs"));
}

void JobQueueFixture::saveAccount(bool saveAccountOn)
{
    m_settings->saveUserName(QString::fromLatin1(kUser));
    m_settings->saveUserPassword(QString::fromLatin1(kPassword));
    m_settings->saveEntKey(QString::fromLatin1(kEntKey));
    m_settings->saveIsSeveAccount(saveAccountOn);
}

QByteArray JobQueueFixture::randomPdf(int size)
{
    QByteArray bytes = "%PDF-1.4\n";
    for (int i = 0; i < size; ++i)
        bytes.append(char(QRandomGenerator::global()->bounded(256)));
    bytes.append("\n%%EOF\n");
    return bytes;
}

UploadService::Job JobQueueFixture::makeJob(const QByteArray &pdf)
{
    QDir().mkpath(jobFolder());
    const QString path = QDir(jobFolder())
                             .filePath(QStringLiteral("%1.pdf").arg(
                                 QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()));
    EXPECT_TRUE(TestSupport::writeFile(path, pdf));

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
    job->fileSize = QString::number(pdf.size());
    return job;
}

QJsonArray JobQueueFixture::requests(const QString &funType) const
{
    QJsonArray matching;
    for (const QJsonValue &entry : sim().context().requests.entries()) {
        if (funType.isNull() || entry.toObject().value("funType").toString() == funType)
            matching.append(entry);
    }
    return matching;
}

QJsonObject JobQueueFixture::lastMembers(const QString &funType) const
{
    const QJsonArray matching = requests(funType);
    return matching.isEmpty() ? QJsonObject()
                              : matching.last().toObject().value("members").toObject();
}

void JobQueueFixture::setFaults(const QList<FaultRule> &faults)
{
    sim().context().faults.setRules(faults);
}

FaultRule JobQueueFixture::fault(const QString &funType)
{
    FaultRule rule;
    rule.funType = funType;
    return rule;
}

QStringList JobQueueFixture::notificationTexts() const
{
    QStringList texts;
    for (const auto &delivery : m_delivered->deliveries())
        texts << delivery.body;
    return texts;
}

bool JobQueueFixture::waitForNotifications(int count)
{
    return TestSupport::waitUntil([&] { return m_delivered->deliveries().size() >= count; },
                                  kChainLimit);
}

bool JobQueueFixture::waitForNotification(const QString &text)
{
    return TestSupport::waitUntil([&] { return notificationTexts().contains(text); }, kChainLimit);
}

QStringList JobQueueFixture::settledNotifications(int count)
{
    EXPECT_TRUE(waitForNotifications(count)) << notificationTexts().join(" | ").toStdString();
    TestSupport::spin(kSettleTime);
    return notificationTexts();
}
