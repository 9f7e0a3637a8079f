#include "AppFixture.h"

#include "client/controllers/LoginWindow.h"
#include "client/controllers/MainViewController.h"
#include "client/platform/FreedesktopNotificationCenter.h"
#include "foundation/HandoffUrl.h"
#include "foundation/logging/Log.h"
#include "support/TestSupport.h"

#include "FakeNotificationService.h"
#include "PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>

#include <QDir>
#include <QRegularExpression>

using namespace std::chrono_literals;

namespace {

class AppDelegateStartupTest : public AppFixture
{
protected:
    // Every log file's text, written out first.
    QString logText() const
    {
        Log::flush();
        QString text;
        const QStringList files = QDir(logFolder()).entryList(QDir::Files, QDir::Name);
        for (const QString &file : files)
            text += QString::fromUtf8(TestSupport::readFile(logFolder() + u'/' + file));
        return text;
    }

    // The host ids of the version lines, in order.
    QStringList loggedHostIds() const
    {
        static const QRegularExpression versionLine(
            QStringLiteral("##version: 2\\.4\\.20, uuid: (\\{[0-9A-F-]{36}\\})"));
        QStringList ids;
        auto matches = versionLine.globalMatch(logText());
        while (matches.hasNext())
            ids << matches.next().captured(1);
        return ids;
    }
};

TEST_F(AppDelegateStartupTest, MakesTheHostIdOnceAndKeepsIt)
{
    launch();
    const QString hostId = m_settings.uuid();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$"))
            .match(hostId)
            .hasMatch())
        << qPrintable(hostId);
    EXPECT_EQ(delegate().hostUuid(), hostId);

    relaunch();
    EXPECT_EQ(m_settings.uuid(), hostId);
    EXPECT_EQ(loggedHostIds(), QStringList({hostId, hostId}));
}

TEST_F(AppDelegateStartupTest, ReplacesAnEmptyStoredHostId)
{
    m_settings.saveUUID(QStringLiteral(""));
    launch();
    EXPECT_FALSE(m_settings.uuid().isEmpty());
    EXPECT_EQ(loggedHostIds(), QStringList{m_settings.uuid()});
}

TEST_F(AppDelegateStartupTest, LogsToDatedFilesInTheLogFolder)
{
    launch();
    ASSERT_FALSE(loggedHostIds().isEmpty());
    const QStringList files = QDir(logFolder()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^com\\.dalvemor\\.vqm\\.client "
                                          "\\d{4}-\\d\\d-\\d\\d--\\d\\d-\\d\\d-\\d\\d-\\d{3}"
                                          "\\.log$"))
            .match(files.first())
            .hasMatch())
        << qPrintable(files.first());
    // Entries begin with the time, two blanks and the function's prefix.
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{3}  "
                                          "f: [^\\n]*initialization[^\\n]*, l: \\d+,\\n"
                                          "##version"))
            .match(logText())
            .hasMatch())
        << qPrintable(logText());
}

TEST_F(AppDelegateStartupTest, ForgetsTheStoredPasswordUnlessSaveAccountIsOn)
{
    struct Case
    {
        bool saveAccount;
        QString passwordAfterLaunch;
    };
    for (const Case &c : {Case{false, QStringLiteral("")}, Case{true, QStringLiteral("s3cret")}}) {
        m_settings.saveUserPassword(QStringLiteral("s3cret"));
        m_settings.saveIsSeveAccount(c.saveAccount);
        relaunch();
        EXPECT_EQ(m_settings.userPassword(), c.passwordAfterLaunch)
            << "save account: " << c.saveAccount;
        EXPECT_EQ(delegate().loginWindow(), nullptr) << "a window opened at start";
    }
}

TEST_F(AppDelegateStartupTest, QueuesTheJobOfTheUrlThatLaunchedIt)
{
    UrlEventSource::Options options;
    options.folder = path(QStringLiteral("run"));
    UrlEventSource eventManager(options);
    eventManager.start({HandoffUrl::build(jobObject(jobPath()))});
    ASSERT_EQ(eventManager.role(), UrlEventSource::Role::Primary);

    launch(&eventManager);
    EXPECT_TRUE(uploadService().isJobArrayEmpty()) << "handled before the launch ended";
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !uploadService().isJobArrayEmpty(); }));
    ASSERT_EQ(uploadService().jobArray().size(), 1);
    EXPECT_EQ(uploadService().headJob()->pdfPath, jobPath());
    // No saved account: the queue asks for the login window, which the delegate shows.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return delegate().loginWindow() != nullptr; }));
    EXPECT_TRUE(delegate().loginWindow()->isActive());
}

TEST_F(AppDelegateStartupTest, ConnectsThePushChannelToTheConfiguredService)
{
    launch();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return m_pushServer.hasPendingConnections(); }));
}

// The desktop's notification service offers no way to find what an earlier run posted: the launch
// closes the notifications that this run has posted, and leaves the others.
TEST_F(AppDelegateStartupTest, ClosesTheNotificationsOfThisRun)
{
    const QString service = QString::fromLatin1(FreedesktopNotificationCenter::kService);
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.start()) << bus.errorString().toStdString();
    FakeNotificationService notifications;
    QDBusConnection serviceConnection =
        QDBusConnection::connectToBus(bus.address(), QStringLiteral("startup-service"));
    ASSERT_TRUE(serviceConnection.registerObject(
        QString::fromLatin1(FreedesktopNotificationCenter::kPath), &notifications,
        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(serviceConnection.registerService(service));
    QDBusConnection earlierConnection =
        QDBusConnection::connectToBus(bus.address(), QStringLiteral("startup-earlier-run"));
    QDBusConnection thisConnection =
        QDBusConnection::connectToBus(bus.address(), QStringLiteral("startup-this-run"));

    {
        FreedesktopNotificationCenter earlierRun(earlierConnection, nullptr);
        earlierRun.deliver(QStringLiteral("Tarvello"), QString(), QStringLiteral("Upload succesd"));
        ASSERT_TRUE(
            TestSupport::waitUntil([&] { return notifications.notifications().size() == 1; }));
    }
    m_notifications.setCenter(
        std::make_shared<FreedesktopNotificationCenter>(thisConnection, m_shown));
    m_notifications.pushNotificationWithTitle(QStringLiteral("Tarvello"), QString(),
                                              QStringLiteral("Logining ..."));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return notifications.notifications().size() == 2; }));
    // A round trip on the same connection: the service's answer to the notification has arrived
    // once it returns, and is handed over by the next turn of the event loop.
    thisConnection.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")));
    QCoreApplication::processEvents();

    launch();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !notifications.closed().isEmpty(); }));
    EXPECT_EQ(notifications.closed(), QList<uint>{2}) << "this run's, and only that";
    EXPECT_EQ(m_shown->removals(), 1) << "the fallback's too";

    m_notifications.setCenter(m_shown);
    QDBusConnection::disconnectFromBus(QStringLiteral("startup-this-run"));
    QDBusConnection::disconnectFromBus(QStringLiteral("startup-earlier-run"));
    QDBusConnection::disconnectFromBus(QStringLiteral("startup-service"));
}

TEST_F(AppDelegateStartupTest, ComparesVersionsPartByPartAsIntegers)
{
    struct Case
    {
        const char *current;
        const char *latest;
        bool newer;
        bool toldUpToDate;
    };
    const Case cases[] = {
        {"2.4.20", "2.4.20", false, false},  {"2.4.20", "2.5", true, false},
        {"2.4.20", "2.3.99", false, true},   {"1.2", "1.10", true, false},
        {"2.4.20", "2.4.20.1", true, false}, {"2.4.20", "2.4", false, false},
    };
    for (const Case &c : cases) {
        const qsizetype before = m_shown->shown().size();
        EXPECT_EQ(delegate().versionCompare(QLatin1String(c.current), QLatin1String(c.latest)),
                  c.newer)
            << c.current << " vs " << c.latest;
        const QStringList told = m_shown->shown().mid(before);
        EXPECT_EQ(told.size(), c.toldUpToDate ? 1 : 0) << c.current << " vs " << c.latest;
        if (!told.isEmpty()) {
            EXPECT_EQ(told.first(), "Tarvello||No need to update");
        }
    }
}

} // namespace
