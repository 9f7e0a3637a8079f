#pragma once

#include "RecordingNotificationCenter.h"

#include "client/config/IniConfig.h"
#include "client/network/HTTPManager.h"
#include "client/service/HTTPService.h"
#include "client/service/LoginWindowState.h"
#include "client/service/NotificationCenter.h"
#include "client/service/UploadService.h"
#include "client/settings/SettingsStore.h"
#include "client/tools/PRNotification.h"

#include "ServiceSimulator.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <optional>

// A login window whose state the test sets.
class SettableLoginWindowState : public LoginWindowState
{
public:
    bool isActive() const override { return active; }
    bool active = false;
};

// One simulator (HTTP API and its FTP server) for each suite; for each test a temporary
// XDG_CONFIG_HOME with its own settings store, an INI file naming the simulator, a transport,
// notifications recorded, the show-login posts counted and the exit function recorded. Each test
// starts with no faults and no recorded requests, and creates its UploadService when its settings
// are in place.
class UploadFixture : public ::testing::Test
{
protected:
    static constexpr auto kEntKey = "ACME";
    static constexpr auto kUser = "alice";
    static constexpr auto kPassword = "alice-pass";
    static constexpr auto kOtherEntKey = "OTHER";
    // Long enough that no idle check interferes with a test that does not ask for one.
    static constexpr UploadService::Intervals kNoIdleExit{std::chrono::hours(1),
                                                          std::chrono::hours(1)};

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    void createService(const QString &iniEntKey = QString(),
                       UploadService::Intervals intervals = kNoIdleExit);
    // A job whose PDF copy holds the given bytes (random ones by default).
    UploadService::Job makeJob(const QByteArray &content = QByteArray());
    // The copy folder of the tests' jobs, where the uploader takes them from.
    QString jobFolder() const;
    void saveAccount(bool saveAccountOn);
    // The identity that a QR login of alice leaves in the settings store.
    VQLoginResult savedIdentity() const;

    static QJsonArray requests(const QString &funType = QString());
    static QJsonObject lastMembers(const QString &funType);
    static void setFaults(const QList<FaultRule> &faults);
    static FaultRule fault(const QString &funType);
    static ServiceSimulator &sim() { return *s_sim; }

    QStringList notificationTexts() const;
    bool waitForNotifications(int count);
    // Waits for the notifications and then a little longer, so that a test also sees a
    // notification too many.
    QStringList settledNotifications(int count);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::optional<SettingsStore> m_settings;
    std::unique_ptr<HTTPManager> m_transport;
    std::unique_ptr<IniConfig> m_config;
    std::unique_ptr<HTTPService> m_http;
    std::shared_ptr<RecordingNotificationCenter> m_delivered;
    std::unique_ptr<PRNotification> m_notifications;
    NotificationCenter m_notificationCenter;
    std::shared_ptr<SettableLoginWindowState> m_loginWindow;
    std::unique_ptr<UploadService> m_service;

    int m_showLoginPosts = 0;
    QList<int> m_exitStatuses;
    QElapsedTimer m_sinceCreation;
    qint64 m_firstExitAfterMs = -1;

private:
    static inline std::unique_ptr<QTemporaryDir> s_suiteDir;
    static inline std::unique_ptr<ServiceSimulator> s_sim;
    static inline QString s_startFailure;
    QByteArray m_previousConfigHome;
};
