#pragma once

// A delegate on real parts in a temporary folder: an INI file naming 127.0.0.1, a settings file,
// a copy folder with a job PDF, a log folder, a push server that only accepts, and a job queue
// whose exits are recorded instead of taken. Nothing touches the fixed system paths or the user's
// session. The delegate and the job queue are made on first use, so a test can set up files
// first; relaunch() makes both anew on the same files, as a second run of the client.

#include "GatedNotificationCenter.h"

#include "client/app/AppDelegate.h"
#include "client/config/IniConfig.h"
#include "client/network/HTTPManager.h"
#include "client/network/TRSocketManager.h"
#include "client/service/HTTPService.h"
#include "client/service/NotificationCenter.h"
#include "client/service/UploadService.h"
#include "client/settings/SettingsStore.h"
#include "client/tools/PRNotification.h"

#include <gtest/gtest.h>

#include <QJsonObject>
#include <QList>
#include <QTcpServer>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

class AppFixture : public ::testing::Test
{
protected:
    static constexpr auto kJobFileName = "4F1C2B3A-5D6E-4F70-8192-A3B4C5D6E7F8.pdf";

    void SetUp() override;
    void TearDown() override;

    // The INI file, with or without a preset company key.
    void writeIni(const QString &entKey = QStringLiteral(""));
    // Short idle intervals, for tests that wait for the idle exit.
    void setIdleIntervals(std::chrono::milliseconds interval);

    AppDelegate &delegate();
    UploadService &uploadService();
    // Both launch callbacks, with the event source given (or one of the fixture's own).
    void launch(UrlEventSource *eventManager = nullptr);
    void relaunch();

    QString path(const QString &relative) const { return m_dir.path() + u'/' + relative; }
    QString copyFolder() const { return path(QStringLiteral("vqmprinter")); }
    QString logFolder() const { return path(QStringLiteral("alog")); }
    QString jobPath() const { return copyFolder() + u'/' + QLatin1String(kJobFileName); }

    // A complete hand-off job object for the PDF at the path.
    static QJsonObject jobObject(const QString &pdfPath);

    QTemporaryDir m_dir;
    HTTPManager m_transport{std::chrono::milliseconds(2000)};
    IniConfig m_config{path(QStringLiteral("setup.ini")), m_transport};
    SettingsStore m_settings{path(QStringLiteral("config/Tarvello/default.ini"))};
    HTTPService m_http{m_transport};
    std::shared_ptr<GatedNotificationCenter> m_shown = std::make_shared<GatedNotificationCenter>();
    PRNotification m_notifications{m_shown};
    NotificationCenter m_notificationCenter;
    TRSocketManager m_pushChannel{QStringLiteral("20240102030405")};
    QTcpServer m_pushServer;

    UploadService::Intervals m_intervals{std::chrono::hours(1), std::chrono::hours(1)};
    QList<int> m_idleExits;
    QList<int> m_quits;

private:
    std::unique_ptr<UploadService> m_uploadService;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<UrlEventSource> m_eventManager;
    bool m_logging = false;
};
