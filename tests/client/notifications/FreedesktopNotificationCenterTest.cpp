#include "client/platform/FreedesktopNotificationCenter.h"
#include "FakeNotificationService.h"
#include "PrivateSessionBus.h"
#include "RecordingNotificationCenter.h"
#include "client/platform/LoggingNotificationCenter.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <QDBusConnection>

#include <gtest/gtest.h>

namespace {

const QString kService = QString::fromLatin1(FreedesktopNotificationCenter::kService);
const QString kPath = QString::fromLatin1(FreedesktopNotificationCenter::kPath);

class FreedesktopNotificationCenterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_bus.start()) << m_bus.errorString().toStdString();
        static int connections = 0;
        m_clientName = QStringLiteral("client-%1").arg(++connections);
        m_serviceName = QStringLiteral("service-%1").arg(connections);
        QDBusConnection client = QDBusConnection::connectToBus(m_bus.address(), m_clientName);
        ASSERT_TRUE(client.isConnected());
        m_center = std::make_unique<FreedesktopNotificationCenter>(client, m_fallback);
    }

    void TearDown() override
    {
        m_center.reset();
        QDBusConnection::disconnectFromBus(m_clientName);
        QDBusConnection::disconnectFromBus(m_serviceName);
    }

    // Puts the fake service on the bus, on a connection of its own.
    void registerService()
    {
        QDBusConnection service = QDBusConnection::connectToBus(m_bus.address(), m_serviceName);
        ASSERT_TRUE(service.isConnected());
        ASSERT_TRUE(service.registerObject(kPath, &m_service,
                                           QDBusConnection::ExportAllSlots |
                                               QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(service.registerService(kService));
    }

    bool waitForNotifications(qsizetype count)
    {
        return TestSupport::waitUntil([&] { return m_service.notifications().size() == count; });
    }

    PrivateSessionBus m_bus;
    QString m_clientName;
    QString m_serviceName;
    FakeNotificationService m_service;
    std::shared_ptr<RecordingNotificationCenter> m_fallback =
        std::make_shared<RecordingNotificationCenter>();
    std::unique_ptr<FreedesktopNotificationCenter> m_center;
};

TEST_F(FreedesktopNotificationCenterTest, PostsToTheServiceUnderTheApplicationName)
{
    registerService();
    m_center->deliver("Tarvello", QString(), "Uploading ...");
    m_center->deliver("Tarvello", "Job 7", "Upload succesd");
    m_center->deliver("Tarvello", "", QString());
    ASSERT_TRUE(waitForNotifications(3));

    const auto notifications = m_service.notifications();
    EXPECT_EQ(notifications[0].appName, "Tarvello");
    EXPECT_EQ(notifications[0].replacesId, 0u);
    EXPECT_EQ(notifications[0].summary, "Tarvello");
    EXPECT_EQ(notifications[0].body, "Uploading ...");
    EXPECT_TRUE(notifications[0].actions.isEmpty());
    EXPECT_EQ(notifications[0].expireTimeout, -1);
    EXPECT_EQ(notifications[1].body, "Job 7\nUpload succesd");
    EXPECT_EQ(notifications[2].body, "");
    EXPECT_TRUE(m_fallback->deliveries().isEmpty());
}

TEST_F(FreedesktopNotificationCenterTest, RemovingClosesTheNotificationsOfThisRunStillShown)
{
    registerService();
    for (const char *text : {"Logining ...", "Login successful", "Uploading ..."}) {
        m_center->deliver("Tarvello", QString(), QString::fromUtf8(text));
    }
    ASSERT_TRUE(waitForNotifications(3));
    // The user dismissed the first one already.
    emit m_service.NotificationClosed(1, 2);
    TestSupport::spin(std::chrono::milliseconds(200));

    m_center->removeDelivered();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return m_service.closed().size() == 2; }));
    EXPECT_EQ(m_service.closed(), (QList<uint>{2, 3}));
    EXPECT_EQ(m_fallback->removals(), 1);

    // Closed ones are not closed twice.
    m_center->removeDelivered();
    TestSupport::spin(std::chrono::milliseconds(200));
    EXPECT_EQ(m_service.closed().size(), 2);
}

TEST_F(FreedesktopNotificationCenterTest, WithoutTheServiceNotificationsGoToTheFallback)
{
    m_center->deliver("Tarvello", QString(), "文件上传失败");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return m_fallback->deliveries().size() == 1; }));
    EXPECT_EQ(m_fallback->deliveries()[0].body, "文件上传失败");
    EXPECT_TRUE(m_fallback->deliveries()[0].subtitle.isNull());
}

TEST(FreedesktopNotificationCenterNoBusTest, WithoutABusTheLogKeepsTheNotification)
{
    LogCapture log;
    FreedesktopNotificationCenter center(QDBusConnection(QStringLiteral("no-such-connection")),
                                         std::make_shared<LoggingNotificationCenter>());
    center.deliver("Tarvello", QString(), "Login successful");
    EXPECT_EQ(log.count("Login successful"), 1);
}

} // namespace
