#pragma once

// One login window as the client shows it, made by the application delegate on its first demand,
// on collaborators of its own: settings in the given folder, a configuration record instead of the
// INI file, a job queue whose chains are never started, and a push channel that never connects.
// For pictures of the window. Main thread.

#include "client/app/AppDelegate.h"
#include "client/config/IniConfig.h"
#include "client/network/HTTPManager.h"
#include "client/network/TRSocketManager.h"
#include "client/service/HTTPService.h"
#include "client/service/NotificationCenter.h"
#include "client/service/UploadService.h"
#include "client/settings/SettingsStore.h"
#include "client/tools/PRNotification.h"

#include <QImage>
#include <QString>

class LoginWindow;
class MainViewController;

class LoginWindowScene
{
public:
    struct Setup
    {
        // The INI file presets the company key (the smaller window).
        bool presetEntKey = false;
        bool qrLogin = true;
    };

    LoginWindowScene(const QString &folder, Setup setup);
    ~LoginWindowScene();

    LoginWindow &window();
    MainViewController &controller();

    // The window's content as shown.
    QImage grabWindow();
    // Opens the QR sub-window and pictures both windows as they lie on the screen.
    QImage grabWithSubWindow();

private:
    HTTPManager m_transport;
    IniConfig m_config;
    SettingsStore m_settings;
    HTTPService m_http;
    PRNotification m_notifications;
    NotificationCenter m_notificationCenter;
    UploadService m_uploadService;
    TRSocketManager m_pushChannel;
    AppDelegate m_delegate;
};
