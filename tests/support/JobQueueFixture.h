#pragma once

// The client's job queue on real parts, as the suites that drive it share them: for each test a
// temporary folder as XDG_CONFIG_HOME with its own settings store, a transport and the HTTP
// service over it, an INI file naming the printing service, recorded user notifications, counted
// show-login posts and recorded exits (never taken). The printing-service simulator is either one
// for the whole suite (startSuiteSimulator) or a test's own (a fixture overrides sim()). Each test
// writes its INI file and settings, then creates the queue.

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

class JobQueueFixture : public ::testing::Test
{
protected:
    static constexpr auto kEntKey = "ACME";
    static constexpr auto kUser = "alice";
    static constexpr auto kPassword = "alice-pass";
    static constexpr std::chrono::milliseconds kTransportTimeout{5000};
    // Long enough that no idle check interferes with a test that does not ask for one.
    static constexpr UploadService::Intervals kNoIdleExit{std::chrono::hours(1),
                                                          std::chrono::hours(1)};

    // English texts.
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // For SetUpTestSuite: one simulator with an FTP server of its own for the whole suite, with
    // the accounts ("entkey:user:password"). Each test starts with no faults and no recorded
    // requests.
    static void startSuiteSimulator(const QStringList &accountArguments);
    // The simulator whose requests and faults the helpers below read and set.
    virtual ServiceSimulator &sim() const;

    // Replaces the transport and the HTTP service over it with ones of the given time limit;
    // before the INI file is read.
    void createTransport(std::chrono::milliseconds timeout);
    // Writes the INI file naming the service at 127.0.0.1 and the port, with an EntKey line
    // unless entKey is null and the further lines, and reads it.
    void readIniConfig(quint16 servicePort, const QString &entKey = QString(),
                       const QString &furtherLines = QString());
    // The job queue on these parts, with the state of the login window it asks.
    void createJobQueue(std::shared_ptr<LoginWindowState> loginWindow,
                        UploadService::Intervals intervals = kNoIdleExit);
    // Saves alice's account, with the "save account" switch as given.
    void saveAccount(bool saveAccountOn);

    // PDF bytes of the given size, random apart from the header and trailer.
    static QByteArray randomPdf(int size);
    // A job, as the hand-off makes it, whose PDF copy (at a new path) holds the bytes.
    UploadService::Job makeJob(const QByteArray &pdf);
    // The copy folder of the tests' jobs, where the uploader takes them from.
    QString jobFolder() const;

    // The requests the simulator received, all or those of one call.
    QJsonArray requests(const QString &funType = QString()) const;
    // The request members of the last call of the kind; empty when none came.
    QJsonObject lastMembers(const QString &funType) const;
    void setFaults(const QList<FaultRule> &faults);
    static FaultRule fault(const QString &funType);

    QStringList notificationTexts() const;
    bool waitForNotifications(int count);
    bool waitForNotification(const QString &text);
    // Waits for the notifications and then a little longer, so that a test also sees a
    // notification too many.
    QStringList settledNotifications(int count);

    QTemporaryDir m_dir;
    std::optional<SettingsStore> m_settings;
    std::unique_ptr<HTTPManager> m_transport;
    std::unique_ptr<IniConfig> m_config;
    std::unique_ptr<HTTPService> m_http;
    std::shared_ptr<RecordingNotificationCenter> m_delivered =
        std::make_shared<RecordingNotificationCenter>();
    std::unique_ptr<PRNotification> m_notifications;
    NotificationCenter m_notificationCenter;
    std::unique_ptr<UploadService> m_service;

    int m_showLoginPosts = 0;
    QList<int> m_exitStatuses;
    QElapsedTimer m_sinceCreation;
    qint64 m_firstExitAfterMs = -1;

private:
    static inline std::unique_ptr<QTemporaryDir> s_suiteDir;
    static inline std::unique_ptr<ServiceSimulator> s_suiteSim;
    static inline QString s_suiteStartFailure;
    QByteArray m_previousConfigHome;
};
