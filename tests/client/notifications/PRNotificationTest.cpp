#include "client/tools/PRNotification.h"
#include "RecordingNotificationCenter.h"
#include "client/platform/Localizable.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

namespace {

QThread *mainThread()
{
    return QCoreApplication::instance()->thread();
}

class PRNotificationTest : public ::testing::Test
{
protected:
    std::shared_ptr<RecordingNotificationCenter> m_center =
        std::make_shared<RecordingNotificationCenter>();
    PRNotification m_notification{m_center};
};

TEST_F(PRNotificationTest, PassesTheTextsOnAndEachCallAddsOneNotification)
{
    m_notification.pushNotificationWithTitle("Tarvello", QString(), "Uploading ...");
    m_notification.pushNotificationWithTitle("Tarvello", "", QString());

    // Posted on the main thread: delivered before the call returned.
    const auto deliveries = m_center->deliveries();
    ASSERT_EQ(deliveries.size(), 2);
    EXPECT_EQ(deliveries[0].title, "Tarvello");
    EXPECT_TRUE(deliveries[0].subtitle.isNull());
    EXPECT_EQ(deliveries[0].body, "Uploading ...");
    EXPECT_EQ(deliveries[1].subtitle, "");
    EXPECT_FALSE(deliveries[1].subtitle.isNull());
    EXPECT_TRUE(deliveries[1].body.isNull());
    EXPECT_EQ(deliveries[1].thread, mainThread());
}

TEST_F(PRNotificationTest, CallOnTheGlobalPoolReturnsBeforeTheNotificationIsDelivered)
{
    m_center->closeGate();
    std::atomic<bool> returned = false;
    std::atomic<int> deliveredAtReturn = -1;
    QThreadPool::globalInstance()->start([&] {
        m_notification.pushNotificationWithTitle("Tarvello", QString(), "Upload succesd");
        deliveredAtReturn = int(m_center->deliveries().size());
        returned = true;
    });

    // A posting on the calling thread would hold the call at the closed gate.
    EXPECT_TRUE(TestSupport::waitUntil([&] { return returned.load(); }, 2s));
    m_center->openGate();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return m_center->deliveries().size() == 1; }));
    QThreadPool::globalInstance()->waitForDone(5000);
    EXPECT_EQ(deliveredAtReturn, 0);
    ASSERT_EQ(m_center->deliveries().size(), 1);
    EXPECT_NE(m_center->deliveries()[0].thread, mainThread());
}

TEST_F(PRNotificationTest, CallOnAnotherThreadDeliversBeforeItReturns)
{
    std::atomic<int> deliveredAtReturn = -1;
    QThread *other = QThread::create([&] {
        m_notification.pushNotificationWithTitle("Tarvello", QString(), "Login successful");
        deliveredAtReturn = int(m_center->deliveries().size());
    });
    other->start();
    ASSERT_TRUE(other->wait(5000));
    EXPECT_EQ(deliveredAtReturn, 1);
    delete other;
}

TEST_F(PRNotificationTest, FileConversionIsPostedOnTheMainThread)
{
    QThreadPool::globalInstance()->start([this] {
        m_notification.pushFileConversionNotification(true);
        m_notification.pushFileConversionNotification(false);
    });
    ASSERT_TRUE(TestSupport::waitUntil([this] { return m_center->deliveries().size() == 2; }));
    const auto deliveries = m_center->deliveries();
    EXPECT_EQ(deliveries[0].title, Localizable::string("Tarvello"));
    EXPECT_TRUE(deliveries[0].subtitle.isNull());
    EXPECT_EQ(deliveries[0].body, Localizable::string("File processed successfully"));
    EXPECT_EQ(deliveries[1].body, Localizable::string("File processed failed"));
    EXPECT_EQ(deliveries[0].thread, mainThread());
    EXPECT_EQ(deliveries[1].thread, mainThread());
}

TEST_F(PRNotificationTest, RemovingDeliveredNotificationsGoesToTheCenter)
{
    m_notification.removeDeliveredNotifications();
    EXPECT_EQ(m_center->removals(), 1);
}

TEST(NotificationTextsTest, NotificationKeysHaveChineseTextsAndMendedEnglishOnes)
{
    const char *const keys[] = {"Logining ...",
                                "Login successful",
                                "Uploading ...",
                                "Upload succesd",
                                "File processed successfully",
                                "File processed failed",
                                "No need to update"};
    ASSERT_GT(Localizable::install(QLocale(QStringLiteral("zh_CN"))), 0);
    for (const char *key : keys) {
        EXPECT_NE(Localizable::string(key).toStdString(), key);
    }
    EXPECT_EQ(Localizable::string("Upload succesd").toStdString(), "上传成功");
    EXPECT_EQ(Localizable::string("Tarvello").toStdString(), "Tarvello");

    ASSERT_GT(Localizable::install(QLocale(QStringLiteral("en"))), 0);
    EXPECT_EQ(Localizable::string("Upload succesd").toStdString(), "Upload succeeded");
    EXPECT_EQ(Localizable::string("Logining ...").toStdString(), "Logging in ...");
}

} // namespace
