#pragma once

// The client's application delegate. It runs the launch (status item, URL handler, logging, host
// id, configuration, push channel, job queue, password reset, login-window requests), turns
// hand-off URLs into queued jobs, and hosts the status item with its menu (opened by a left or a
// right click), the dock menu and the one login window, which it makes on first demand with its
// controller and keeps until the end.
//
// Owns the status item and its menu, the login window and the URL intake; the settings,
// configuration, push channel, notifications, notification centre and job queue are passed in.
// The job queue is obtained when the launch creates it.
//
// Main thread: every call, the URL handler, the menus' actions and the login-window requests
// ("kNotificationShowLoginWindow", which the job queue posts on the main thread).
// sharedInstance() is the process's delegate on the shared collaborators, created on first use
// and never destroyed; tests construct their own.

#include "UrlIntake.h"

#include "client/network/TRSocketManager.h"
#include "client/platform/CopyFolderCheck.h"
#include "client/platform/UrlEventSource.h"
#include "foundation/BaseTools.h"
#include "foundation/SpoolLayout.h"

#include <QMenu>
#include <QObject>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class IniConfig;
class IniConfigModel;
class LoginWindow;
class NotificationCenter;
class PRNotification;
class SettingsStore;
class TrayNotificationCenter;
class UploadService;

class AppDelegate : public QObject
{
    Q_OBJECT

public:
    using UploadServiceProvider = std::function<UploadService &()>;
    using ExitFunction = std::function<void(int status)>;

    static constexpr auto kLogFolder = SpoolLayout::kClientLogFolder;
    // Names the log files, as the application's identifier.
    static constexpr auto kLogFileIdentifier = "com.dalvemor.vqm.client";
    static constexpr auto kSyslogIdent = "Tarvello";
    static constexpr auto kLogoImage = ":/images/logoicon.png";
    static constexpr auto kWindowTitle = "Tarvello";
    static constexpr auto kDockMenuTitle = "Menu";
    static constexpr int kExitStatus = 0;
    // The login window's content is kWindowAspect times as wide as it is high.
    static constexpr double kWindowAspect = 2.5;
    static constexpr int kWindowHeightWithEntKey = 170;
    static constexpr int kWindowHeightWithoutEntKey = 180;

    struct Collaborators
    {
        SettingsStore &settings;
        IniConfig &config;
        TRSocketManager &pushChannel;
        PRNotification &notifications;
        NotificationCenter &notificationCenter;
        // Creates the job queue on first call (at launch) and returns it afterwards.
        UploadServiceProvider uploadService;
        // Ends the process; called on the main thread.
        ExitFunction exitProcess;
        // Shows notifications on the status item when the desktop has no service; may be null.
        std::shared_ptr<TrayNotificationCenter> trayNotifications = nullptr;
        QString logFolder = QLatin1String(kLogFolder);
        QString syslogIdent = QLatin1String(kSyslogIdent); // null: no system log
        QString copyFolder = QLatin1String(CopyFolderCheck::kCopyFolder);
        int pushPort = TRSocketManager::kPushPort;
        QString version = BaseTools::getVersion();
    };

    static AppDelegate &sharedInstance();

    explicit AppDelegate(Collaborators collaborators, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The launch, in this order; URLs reach the handler only from the event loop afterwards.
    void applicationWillFinishLaunching(UrlEventSource &eventManager);
    void applicationDidFinishLaunching();
    // After the event loop has ended: requests for the login window are no longer answered, so
    // that chains ended by the aborts of the client's end do not bring it up on the way out.
    void applicationWillTerminate();

    // Start-up steps of applicationDidFinishLaunching().
    void initialization();
    void initializDDLog();
    void setupHostUuid();
    // Whether latestVersion is newer than current, part by part as integers; tells the user when
    // current is the newer one.
    bool versionCompare(const QString &current, const QString &latestVersion);

    // One hand-off URL; the reply is called once it is queued or dropped.
    void handleURLEvent(
        const QString &event, const UrlEventSource::Reply &replyEvent = [] {});
    // Runs the URL handler on a sample job in the copy folder.
    void test();

    void addStatusItem();
    // A new menu on every call; the caller owns it.
    std::unique_ptr<QMenu> applicationDockMenu();
    bool applicationShouldHandleReopen(bool hasVisibleWindows) const;
    void exit();
    void showLoginWindow();
    // The login window's content rectangle for the configuration read at launch.
    QRect windowRect() const;
    // The same for a given configuration: kWindowAspect times the height wide, the height smaller
    // when the INI file presets the company key.
    static QRect windowRect(const IniConfigModel &config);

    // Null until the first showLoginWindow().
    LoginWindow *loginWindow() const { return m_loginWindow.get(); }
    QString hostUuid() const { return m_hostUuid; }
    QSystemTrayIcon *statusItem() const { return m_statusItem.get(); }

private:
    void createLoginWindow();
    // A left click opens the status menu at the icon; the platform answers the other clicks.
    void statusItemActivated(QSystemTrayIcon::ActivationReason reason);

    SettingsStore &m_settings;
    IniConfig &m_config;
    TRSocketManager &m_pushChannel;
    PRNotification &m_notifications;
    NotificationCenter &m_notificationCenter;
    const UploadServiceProvider m_uploadService;
    const ExitFunction m_exitProcess;
    const std::shared_ptr<TrayNotificationCenter> m_trayNotifications;
    const QString m_logFolder;
    const QString m_syslogIdent;
    const int m_pushPort;
    const QString m_version;

    UrlIntake m_urlIntake;
    QString m_hostUuid;
    // The menu before the item that shows it, so that the item goes first.
    std::unique_ptr<QMenu> m_statusMenu;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    std::unique_ptr<QMenu> m_dockMenu;
    std::unique_ptr<LoginWindow> m_loginWindow;
};
