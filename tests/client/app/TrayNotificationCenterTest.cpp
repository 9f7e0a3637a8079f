#include "GatedNotificationCenter.h"

#include "client/app/TrayNotificationCenter.h"
#include "foundation/Dispatch.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QSystemTrayIcon>

namespace {

// Offscreen, as in a session without a tray, a message on the status item would show nothing.
TEST(TrayNotificationCenterTest, WithoutATrayNotificationsGoToTheLastResort)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    auto lastResort = std::make_shared<GatedNotificationCenter>();
    auto center = std::make_shared<TrayNotificationCenter>(lastResort);
    QSystemTrayIcon trayIcon;
    trayIcon.show();
    center->setTrayIcon(&trayIcon);

    center->deliver(QStringLiteral("Tarvello"), QString(), QStringLiteral("Uploading ..."));
    EXPECT_EQ(lastResort->shown(), QStringList{"Tarvello||Uploading ..."});

    dispatchGlobal([center] {
        center->deliver(QStringLiteral("Tarvello"), QStringLiteral("sub"), QStringLiteral("done"));
    });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return lastResort->shown().size() == 2; }));
    EXPECT_EQ(lastResort->shown().last(), "Tarvello|sub|done");

    center->removeDelivered();
    EXPECT_EQ(lastResort->removals(), 1);
}

} // namespace
