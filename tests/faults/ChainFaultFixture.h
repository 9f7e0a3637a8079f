#pragma once

// The client's job queue and upload pipeline on real parts, with faults put in their way: the
// printing-service simulator (in-process, HTTP on 127.0.0.1) behind a proxy that can cut or
// replace its replies, and an FTP server (pyftpdlib) that can be told to fail uploads in one of
// its ways. Each test gets a new simulator, FTP server, settings store and job queue in a
// temporary folder, a saved account, recorded notifications, counted show-login posts, recorded
// exits and the log lines. Nothing leaves 127.0.0.1.

#include "FaultyHttpProxy.h"
#include "RecordingNotificationCenter.h"

#include "client/config/IniConfig.h"
#include "client/network/HTTPManager.h"
#include "client/service/HTTPService.h"
#include "client/service/NotificationCenter.h"
#include "client/service/UploadService.h"
#include "client/settings/SettingsStore.h"
#include "client/tools/PRNotification.h"
#include "support/FtpServerFixture.h"
#include "support/LogCapture.h"

#include "ServiceSimulator.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <optional>

class ChainFaultFixture : public ::testing::Test
{
protected:
    static constexpr auto kEntKey = "ACME";
    static constexpr auto kUser = "alice";
    static constexpr auto kPassword = "alice-pass";
    static constexpr std::chrono::milliseconds kTransportTimeout{5000};

    static void SetUpTestSuite();
    void TearDown() override;

    // Starts the FTP server with its fault ("none", "refuse-login", "drop-data", "full-at-store",
    // "full-during"), the simulator naming it, the proxy and the job queue.
    void start(const QString &ftpFault = QStringLiteral("none"),
               std::chrono::milliseconds transportTimeout = kTransportTimeout);

    // Queues a new job (a PDF of random bytes); the saved account logs in and uploads it.
    UploadService::Job appendJob();
    // Logs in again with the saved account for the head job, as the user does from the window.
    void loginAgain();
    // Waits until the notifications reach the count and then a little longer, so that a
    // notification too many shows as well; returns their texts.
    QStringList settledNotifications(int count);

    // The request members of the last call of the kind the simulator received.
    QJsonObject lastMembers(const QString &funType) const;
    void setSimFaults(const QList<FaultRule> &faults);

    // Texts the chains show for their own outcomes.
    static QString uploadSucceededText();
    static QString loginSucceededText();
    static QString uploadFailedText();

    QTemporaryDir m_dir;
    std::unique_ptr<FtpServerFixture> m_ftp;
    std::unique_ptr<ServiceSimulator> m_sim;
    FaultyHttpProxy m_proxy;
    LogCapture m_log;

    std::unique_ptr<HTTPManager> m_transport;
    std::unique_ptr<IniConfig> m_config;
    std::unique_ptr<HTTPService> m_http;
    std::optional<SettingsStore> m_settings;
    std::shared_ptr<RecordingNotificationCenter> m_delivered =
        std::make_shared<RecordingNotificationCenter>();
    std::unique_ptr<PRNotification> m_notifications;
    NotificationCenter m_notificationCenter;
    std::unique_ptr<UploadService> m_service;

    int m_showLoginPosts = 0;
    QList<int> m_exits;
};
