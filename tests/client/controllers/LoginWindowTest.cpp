#include "LoginWindowFixture.h"

#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

const QRect kContent(0, 0, 450, 180);

TEST(LoginWindowHostTest, IsActiveFollowsCreationShowingClosingAndOrderingOut)
{
    LoginWindow window(kContent, QStringLiteral("Tarvello"));
    int willClose = 0;
    QObject::connect(&window, &LoginWindow::windowWillClose, [&willClose] { ++willClose; });
    EXPECT_TRUE(window.isActive()) << "active from creation, before it is shown";
    EXPECT_FALSE(window.isVisible());

    window.makeKeyAndOrderFront();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isActive());

    EXPECT_TRUE(window.close()); // the close button
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isActive());
    EXPECT_EQ(willClose, 1);

    // The shell brings the same window back.
    window.setIsActive(true);
    window.makeKeyAndOrderFront();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isActive());

    window.orderOut(); // after a login or a cancel
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isActive());
    EXPECT_EQ(willClose, 1) << "ordering out is not closing";
}

TEST(LoginWindowHostTest, HasNoTitleOnlyACloseButtonStaysOnTopAndKeepsItsSize)
{
    LoginWindow window(kContent, QStringLiteral("Tarvello"));
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window.windowTitle().isEmpty()) << "the title given is not shown";
    EXPECT_EQ(window.minimumSize(), kContent.size());
    EXPECT_EQ(window.maximumSize(), kContent.size());
}

TEST(LoginWindowHostTest, ChildWindowsMoveHideAndComeBackWithTheWindow)
{
    LoginWindow window(kContent, QStringLiteral("Tarvello"));
    window.move(100, 100);
    window.makeKeyAndOrderFront();
    QWidget child(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    child.setGeometry(547, 105, 140, 140);
    window.addChildWindow(&child, LoginWindow::WindowOrdering::Below);
    EXPECT_TRUE(child.isVisible()) << "shown with the window on screen";
    EXPECT_EQ(window.childWindows(), QList<QWidget *>{&child});

    window.move(130, 80);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return child.pos() == QPoint(577, 85); }, 2s))
        << child.pos().x() << "," << child.pos().y();

    window.orderOut();
    EXPECT_FALSE(child.isVisible());
    window.makeKeyAndOrderFront();
    EXPECT_TRUE(child.isVisible());

    window.removeChildWindow(&child);
    EXPECT_TRUE(window.childWindows().isEmpty());
    window.move(0, 0);
    TestSupport::spin(50ms);
    EXPECT_EQ(child.pos(), QPoint(577, 85)) << "a detached window stays where it is";
}

class LoginWindowSizeTest : public LoginWindowFixture,
                            public ::testing::WithParamInterface<std::pair<const char *, QSize>>
{};

TEST_P(LoginWindowSizeTest, ContentFollowsThePresetCompanyKey)
{
    const auto &[iniEntKey, size] = GetParam();
    configure({.entKey = QString::fromLatin1(iniEntKey)});
    openWindow();
    EXPECT_EQ(window().size(), size);
    EXPECT_EQ(controller().geometry(), QRect(QPoint(0, 0), size));
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(window().isActive());
}

INSTANTIATE_TEST_SUITE_P(EntKey, LoginWindowSizeTest,
                         ::testing::Values(std::pair{"ACME", QSize(425, 170)},
                                           std::pair{"", QSize(450, 180)}));

} // namespace
