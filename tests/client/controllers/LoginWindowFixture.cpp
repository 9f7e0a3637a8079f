#include "LoginWindowFixture.h"

#include "support/TestSupport.h"

#include "client/app/AppDelegate.h"
#include "client/network/FTPFileUpload.h"
#include "client/platform/Localizable.h"

#include <QDir>
#include <QUuid>

using namespace std::chrono_literals;

namespace {

constexpr auto kConfigHome = "XDG_CONFIG_HOME";
constexpr std::chrono::milliseconds kTransportTimeout = 5s;
constexpr std::chrono::milliseconds kFtpDirectoryTimeout = 3s;
constexpr std::chrono::milliseconds kChainLimit = 30s;
// Long enough that no idle check ends a test.
constexpr UploadService::Intervals kNoIdleExit{std::chrono::hours(1), std::chrono::hours(1)};

} // namespace

void LoginWindowFixture::SetUpTestSuite()
{
    Localizable::install(QLocale(QLocale::English));
    s_suiteDir = std::make_unique<QTemporaryDir>();
    SimOptions options;
    options.accountArguments = {QStringLiteral("%1:%2:%3").arg(kEntKey, kUser, kPassword)};
    options.ftpRoot = QDir(s_suiteDir->path()).filePath("ftp-root");
    options.ftpScript = QStringLiteral(VQM_SOURCE_DIR "/tools/service-sim/vqm-sim-ftpd.py");
    s_sim = std::make_unique<ServiceSimulator>(std::move(options));
    const auto started = s_sim->start();
    s_startFailure = started ? QString() : started.error().description;
}

void LoginWindowFixture::TearDownTestSuite()
{
    s_sim.reset();
    s_suiteDir.reset();
}

void LoginWindowFixture::SetUp()
{
    ASSERT_TRUE(s_startFailure.isEmpty()) << s_startFailure.toStdString();
    sim().context().requests.clear();

    m_dir = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(m_dir->isValid());
    m_previousConfigHome = qgetenv(kConfigHome);
    qputenv(kConfigHome, QDir(m_dir->path()).filePath("config").toLocal8Bit());
    m_settings.emplace(SettingsStore::defaultFilePath());

    m_transport = std::make_unique<HTTPManager>(kTransportTimeout);
    m_http = std::make_unique<HTTPService>(*m_transport);
    m_delivered = std::make_shared<RecordingNotificationCenter>();
    m_notifications = std::make_unique<PRNotification>(m_delivered);
    m_pushChannel = std::make_unique<TRSocketManager>(QString::fromLatin1(kChannelTime));
    QObject::connect(&m_notificationCenter, &NotificationCenter::notificationPosted,
                     [this](const QString &name) {
                         if (name == NotificationCenter::kNotificationShowLoginWindow)
                             ++m_showLoginPosts;
                     });
}

void LoginWindowFixture::TearDown()
{
    m_window.reset();
    m_pushChannel.reset();
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

void LoginWindowFixture::configure(const Ini &ini)
{
    // A window of an earlier configuration goes with the queue it was made for.
    m_window.reset();
    const QString iniPath = QDir(m_dir->path()).filePath("setup.ini");
    QString text = QStringLiteral("ServiceIP=127.0.0.1\nServicePort=%1\nFTPName=ftp-main\n"
                                  "NeedQrcode=%2\n")
                       .arg(sim().httpPort())
                       .arg(ini.qrLogin ? 1 : 0);
    if (!ini.entKey.isNull())
        text += QStringLiteral("EntKey=%1\n").arg(ini.entKey);
    ASSERT_TRUE(TestSupport::writeFile(iniPath, text.toUtf8()));
    m_config = std::make_unique<IniConfig>(iniPath, *m_transport);
    m_config->readIniConfig();

    m_service = std::make_unique<UploadService>(UploadService::Collaborators{
        .settings = *m_settings,
        .config = *m_config,
        .http = *m_http,
        .notifications = *m_notifications,
        .notificationCenter = m_notificationCenter,
        .loginWindow = m_windowState,
        .ftpUploader =
            [jobs = QDir(m_dir->path()).filePath("jobs")] {
                return std::make_unique<FTPFileUpload>(CopyFolderCheck(jobs), kFtpDirectoryTimeout);
            },
        .exitProcess = [](int) {},
        .intervals = kNoIdleExit,
        .jobFolder = QDir(m_dir->path()).filePath("moved"),
    });
}

void LoginWindowFixture::openWindow()
{
    ASSERT_NE(m_service, nullptr) << "configure() first";
    const QRect rect = AppDelegate::windowRect(m_config->getIniConfigModel());
    m_window = std::make_unique<LoginWindow>(rect, QStringLiteral("Tarvello"));
    m_window->center();
    auto *form = new MainViewController(rect, {
                                                  .uploadService = *m_service,
                                                  .settings = *m_settings,
                                                  .config = *m_config,
                                                  .socketManager = *m_pushChannel,
                                                  .notifications = *m_notifications,
                                              });
    m_window->setDelegate(form);
    m_window->setContentViewController(form);
    m_window->makeKeyAndOrderFront();
    m_windowState->window = m_window.get();
}

UploadService::Job LoginWindowFixture::appendJob()
{
    const QByteArray pdf = "%PDF-1.4\n1 0 obj\n<< >>\nendobj\n%%EOF\n";
    QDir(m_dir->path()).mkpath("jobs");
    const QString path =
        QDir(m_dir->path())
            .filePath(QStringLiteral("jobs/%1.pdf")
                          .arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
    EXPECT_TRUE(TestSupport::writeFile(path, pdf));

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
    job->fileSize = QString::number(pdf.size());
    m_service->appendJob(job);
    // The queue decides about a first job at once, as it does long before any later event.
    TestSupport::spin(20ms);
    return job;
}

QJsonArray LoginWindowFixture::requests(const QString &funType)
{
    QJsonArray matching;
    for (const QJsonValue &entry : sim().context().requests.entries()) {
        if (entry.toObject().value("funType").toString() == funType)
            matching.append(entry);
    }
    return matching;
}

QJsonObject LoginWindowFixture::lastMembers(const QString &funType)
{
    const QJsonArray matching = requests(funType);
    return matching.isEmpty() ? QJsonObject()
                              : matching.last().toObject().value("members").toObject();
}

QStringList LoginWindowFixture::notificationTexts() const
{
    QStringList texts;
    for (const auto &delivery : m_delivered->deliveries())
        texts << delivery.body;
    return texts;
}

bool LoginWindowFixture::waitForNotification(const QString &text)
{
    return TestSupport::waitUntil([&] { return notificationTexts().contains(text); }, kChainLimit);
}
