#include "AppDelegate.h"

#include "DelegateLoginWindowState.h"
#include "TrayNotificationCenter.h"

#include "client/config/IniConfig.h"
#include "client/controllers/LoginWindow.h"
#include "client/controllers/MainViewController.h"
#include "client/platform/FreedesktopNotificationCenter.h"
#include "client/platform/Localizable.h"
#include "client/platform/LoggingNotificationCenter.h"
#include "client/service/NotificationCenter.h"
#include "client/service/UploadService.h"
#include "client/settings/SettingsStore.h"
#include "client/tools/PRNotification.h"
#include "foundation/HandoffUrl.h"
#include "foundation/TextHelpers/Base64.h"
#include "foundation/logging/Log.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QIcon>
#include <QJsonObject>

namespace {

constexpr auto kProductKey = "Ferroluxer";
constexpr auto kShowLoginWindowKey = "Changename";
constexpr auto kQuitKey = "Cancel";

// The built-in sample: a one-page, one-copy A4 job of spool job 80.
constexpr auto kSampleJobId = "80";
constexpr auto kSampleFileName = "8D5E2B7C-3F41-4A9B-B6E0-52C1D7A9F3E4.pdf";
constexpr auto kSampleDocumentName = "Quarterly report.docx";
constexpr auto kSamplePaperName = "A4";
constexpr auto kSamplePaperSizeCode = "9";
constexpr auto kSampleCode = "1";
constexpr auto kSampleCount = "1";
constexpr auto kSampleVersion = "2.4.20";

QString text(const char *value)
{
    return QString::fromUtf8(value);
}

QJsonObject sampleJobObject(const QString &copyFolder)
{
    const QString pdfPath = copyFolder + u'/' + text(kSampleFileName);
    return QJsonObject{
        {QStringLiteral("method"), QStringLiteral("print")},
        {QStringLiteral("printjob"), Base64::encode(pdfPath)},
        {QStringLiteral("docname"), Base64::encode(text(kSampleDocumentName))},
        {QStringLiteral("pagetype"), Base64::encode(text(kSamplePaperName))},
        {QStringLiteral("papersize"), text(kSamplePaperSizeCode)},
        {QStringLiteral("orientation"), text(kSampleCode)},
        {QStringLiteral("duplex"), text(kSampleCode)},
        {QStringLiteral("copies"), text(kSampleCount)},
        {QStringLiteral("color"), text(kSampleCode)},
        {QStringLiteral("pages"), text(kSampleCount)},
        {QStringLiteral("totalpages"), text(kSampleCount)},
        {QStringLiteral("jobId"), text(kSampleJobId)},
        {QStringLiteral("version"), text(kSampleVersion)},
    };
}

} // namespace

AppDelegate &AppDelegate::sharedInstance()
{
    static AppDelegate *const instance = [] {
        // Notifications go to the desktop's service, else to the status item, else to the log.
        auto tray =
            std::make_shared<TrayNotificationCenter>(std::make_shared<LoggingNotificationCenter>());
        PRNotification::shareManager().setCenter(
            std::make_shared<FreedesktopNotificationCenter>(QDBusConnection::sessionBus(), tray));
        return new AppDelegate(Collaborators{
            .settings = SettingsStore::defaults(),
            .config = IniConfig::shareInstacne(),
            .pushChannel = TRSocketManager::sharedInstance(),
            .notifications = PRNotification::shareManager(),
            .notificationCenter = NotificationCenter::defaultCenter(),
            .uploadService = []() -> UploadService & { return UploadService::sharedInstance(); },
            // Leaves the event loop; the process then ends as on any quit.
            .exitProcess = [](int status) { QCoreApplication::exit(status); },
            .trayNotifications = tray,
        });
    }();
    return *instance;
}

AppDelegate::AppDelegate(Collaborators collaborators, QObject *parent)
    : QObject(parent)
    , m_settings(collaborators.settings)
    , m_config(collaborators.config)
    , m_pushChannel(collaborators.pushChannel)
    , m_notifications(collaborators.notifications)
    , m_notificationCenter(collaborators.notificationCenter)
    , m_uploadService(std::move(collaborators.uploadService))
    , m_exitProcess(std::move(collaborators.exitProcess))
    , m_trayNotifications(std::move(collaborators.trayNotifications))
    , m_logFolder(std::move(collaborators.logFolder))
    , m_syslogIdent(std::move(collaborators.syslogIdent))
    , m_pushPort(collaborators.pushPort)
    , m_version(std::move(collaborators.version))
    , m_urlIntake(CopyFolderCheck(std::move(collaborators.copyFolder)),
                  [this](const UrlIntake::Job &job) { m_uploadService().appendJob(job); })
{}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationWillFinishLaunching(UrlEventSource &eventManager)
{
    addStatusItem();
#ifdef Q_OS_MACOS
    m_dockMenu = applicationDockMenu();
    m_dockMenu->setAsDockMenu();
#endif
    // Registered before the launch ends, so the URL this launch was opened with reaches it.
    eventManager.setHandler([this](const QString &url, const UrlEventSource::Reply &reply) {
        handleURLEvent(url, reply);
    });
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_notifications.removeDeliveredNotifications();
    initialization();

    UploadService &uploadService = m_uploadService();
    uploadService.setLoginWindowState(std::make_shared<DelegateLoginWindowState>(*this));

    // A password typed in an earlier run is forgotten unless the user asked to keep it.
    if (!m_settings.isSaveAccount())
        m_settings.saveUserPassword(QStringLiteral(""));

    connect(&m_notificationCenter, &NotificationCenter::notificationPosted, this,
            [this](const QString &name) {
                if (name == QLatin1String(NotificationCenter::kNotificationShowLoginWindow))
                    showLoginWindow();
            });
}

void AppDelegate::applicationWillTerminate()
{
    disconnect(&m_notificationCenter, nullptr, this, nullptr);
}

void AppDelegate::handleURLEvent(const QString &event, const UrlEventSource::Reply &replyEvent)
{
    m_urlIntake.take(event, replyEvent);
}

void AppDelegate::test()
{
    handleURLEvent(HandoffUrl::build(sampleJobObject(m_urlIntake.copyFolder())));
}

void AppDelegate::addStatusItem()
{
    const QString product = Localizable::string(kProductKey);
    m_statusMenu = std::make_unique<QMenu>(product);
    m_statusMenu->addAction(Localizable::string(kShowLoginWindowKey), this,
                            &AppDelegate::showLoginWindow);
    m_statusMenu->addAction(Localizable::string(kQuitKey), this, &AppDelegate::exit);

    m_statusItem = std::make_unique<QSystemTrayIcon>(QIcon(QLatin1String(kLogoImage)));
    m_statusItem->setToolTip(product);
    m_statusItem->setContextMenu(m_statusMenu.get());
#ifndef Q_OS_MACOS
    // Most Linux tray hosts open the menu only on a right click and leave a left click to the
    // application; on macOS every click opens it already.
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this,
            &AppDelegate::statusItemActivated);
#endif
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        Log::client(QStringLiteral("!!this session has no system tray; the client runs without "
                                   "its status item until a tray appears"));
    // Shown even without a tray: the platform adds it once a tray appears.
    m_statusItem->show();
    if (m_trayNotifications)
        m_trayNotifications->setTrayIcon(m_statusItem.get());
}

void AppDelegate::statusItemActivated(QSystemTrayIcon::ActivationReason reason)
{
    // A right click (Context) has opened the menu through the platform.
    if (reason != QSystemTrayIcon::Trigger || m_statusMenu->isVisible())
        return;
    // Hosts that keep the icon's place to themselves leave only the pointer, which is on it.
    const QRect icon = m_statusItem->geometry();
    m_statusMenu->popup(icon.isEmpty() ? QCursor::pos() : icon.bottomLeft());
}

std::unique_ptr<QMenu> AppDelegate::applicationDockMenu()
{
    auto menu = std::make_unique<QMenu>(QLatin1String(kDockMenuTitle));
    menu->addAction(Localizable::string(kShowLoginWindowKey), this, &AppDelegate::showLoginWindow);
    return menu;
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) const
{
    return !hasVisibleWindows;
}

void AppDelegate::exit()
{
    m_exitProcess(kExitStatus);
}

QRect AppDelegate::windowRect() const
{
    return windowRect(m_config.getIniConfigModel());
}

QRect AppDelegate::windowRect(const IniConfigModel &config)
{
    const int height =
        config.entKey().isEmpty() ? kWindowHeightWithoutEntKey : kWindowHeightWithEntKey;
    return QRect(0, 0, qRound(kWindowAspect * height), height);
}

void AppDelegate::showLoginWindow()
{
    m_uploadService().cancelAllOperations();
    if (m_loginWindow) {
        m_loginWindow->setIsActive(true);
        m_loginWindow->makeKeyAndOrderFront();
        return;
    }
    createLoginWindow();
}

void AppDelegate::createLoginWindow()
{
    const QRect rect = windowRect();
    auto window = std::make_unique<LoginWindow>(rect, QLatin1String(kWindowTitle));
    window->center();
    auto controller =
        std::make_unique<MainViewController>(rect, MainViewController::Collaborators{
                                                       .uploadService = m_uploadService(),
                                                       .settings = m_settings,
                                                       .config = m_config,
                                                       .socketManager = m_pushChannel,
                                                       .notifications = m_notifications,
                                                   });
    window->setDelegate(controller.get());
    // The window owns its content from here on.
    window->setContentViewController(controller.release());
    window->makeKeyAndOrderFront();
    m_loginWindow = std::move(window);
}
