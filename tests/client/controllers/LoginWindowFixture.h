#pragma once

#include "RecordingNotificationCenter.h"

#include "client/config/IniConfig.h"
#include "client/controllers/LoginWindow.h"
#include "client/controllers/MainViewController.h"
#include "client/network/HTTPManager.h"
#include "client/network/TRSocketManager.h"
#include "client/service/HTTPService.h"
#include "client/service/LoginWindowState.h"
#include "client/service/NotificationCenter.h"
#include "client/service/UploadService.h"
#include "client/settings/SettingsStore.h"
#include "client/tools/PRNotification.h"

#include "ServiceSimulator.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QPointer>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// What the job queue reads of the window: the shell's own answer, over the window object.
class WindowActiveState : public LoginWindowState
{
public:
    bool isActive() const override { return window && window->isActive(); }
    QPointer<LoginWindow> window;
};

// The login window as the application shell makes it, on real parts: the job queue with its HTTP
// chains against an in-process simulator (HTTP API and its FTP server on 127.0.0.1, one for the
// suite), a settings store under a temporary XDG_CONFIG_HOME, an INI file naming the simulator,
// recorded user notifications and a push channel of its own (not connected unless a test does
// it). Each test sets up its INI file and settings, then opens the window.
class LoginWindowFixture : public ::testing::Test
{
protected:
    static constexpr auto kEntKey = "ACME";
    static constexpr auto kUser = "alice";
    static constexpr auto kPassword = "alice-pass";
    static constexpr auto kChannelTime = "20240506091011";

    struct Ini
    {
        // Null: no EntKey line.
        QString entKey;
        bool qrLogin = true;
    };

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Writes the INI file and creates the job queue (nothing else reads the INI file).
    void configure(const Ini &ini);
    void configure() { configure(Ini{}); }
    // Makes the window, its controller as delegate and content, and shows it, as the shell does;
    // the job queue then sees whether it is active.
    void openWindow();
    LoginWindow &window() { return *m_window; }
    MainViewController &controller() { return *m_window->contentViewController(); }

    // A queued job, as the hand-off makes it, with a small PDF; the queue has made its decision
    // about it on return.
    UploadService::Job appendJob();

    static ServiceSimulator &sim() { return *s_sim; }
    static QJsonArray requests(const QString &funType);
    static QJsonObject lastMembers(const QString &funType);

    QStringList notificationTexts() const;
    // Waits until the text has been notified.
    bool waitForNotification(const QString &text);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::optional<SettingsStore> m_settings;
    std::unique_ptr<HTTPManager> m_transport;
    std::unique_ptr<IniConfig> m_config;
    std::unique_ptr<HTTPService> m_http;
    std::shared_ptr<RecordingNotificationCenter> m_delivered;
    std::unique_ptr<PRNotification> m_notifications;
    NotificationCenter m_notificationCenter;
    std::unique_ptr<UploadService> m_service;
    std::unique_ptr<TRSocketManager> m_pushChannel;
    std::shared_ptr<WindowActiveState> m_windowState = std::make_shared<WindowActiveState>();
    std::unique_ptr<LoginWindow> m_window;
    int m_showLoginPosts = 0;

private:
    static inline std::unique_ptr<QTemporaryDir> s_suiteDir;
    static inline std::unique_ptr<ServiceSimulator> s_sim;
    static inline QString s_startFailure;
    QByteArray m_previousConfigHome;
};
