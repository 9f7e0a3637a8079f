#include "AppFixture.h"

#include "client/controllers/LoginWindow.h"
#include "client/controllers/MainViewController.h"
#include "client/platform/Localizable.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QTranslator>

using namespace std::chrono_literals;

namespace {

class WindowHostTest : public AppFixture
{
protected:
    static int loginWindowCount()
    {
        int count = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            count += qobject_cast<LoginWindow *>(widget) != nullptr;
        return count;
    }
};

TEST_F(WindowHostTest, ShowsOneWindowAndBringsTheSameOneBack)
{
    EXPECT_EQ(delegate().loginWindow(), nullptr);
    delegate().showLoginWindow();
    LoginWindow *window = delegate().loginWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isActive());
    EXPECT_NE(qobject_cast<MainViewController *>(window->contentViewController()), nullptr);

    delegate().showLoginWindow(); // while on screen
    EXPECT_EQ(delegate().loginWindow(), window);
    EXPECT_EQ(loginWindowCount(), 1);

    window->close(); // the close button
    EXPECT_FALSE(window->isActive());
    EXPECT_FALSE(window->isVisible());
    delegate().showLoginWindow();
    EXPECT_EQ(delegate().loginWindow(), window);
    EXPECT_TRUE(window->isActive());
    EXPECT_TRUE(window->isVisible());

    window->orderOut(); // after a login
    EXPECT_FALSE(window->isActive());
    m_notificationCenter.postNotificationName(
        QLatin1String(NotificationCenter::kNotificationShowLoginWindow));
    EXPECT_FALSE(window->isActive()) << "answered before the launch observed it";
    launch();
    m_notificationCenter.postNotificationName(
        QLatin1String(NotificationCenter::kNotificationShowLoginWindow));
    EXPECT_TRUE(window->isActive());
    EXPECT_EQ(loginWindowCount(), 1);
}

TEST_F(WindowHostTest, RequestsAfterTheEventLoopEndedBringNoWindow)
{
    launch();
    delegate().applicationWillTerminate();
    m_notificationCenter.postNotificationName(
        QLatin1String(NotificationCenter::kNotificationShowLoginWindow));
    EXPECT_EQ(delegate().loginWindow(), nullptr);
    EXPECT_EQ(loginWindowCount(), 0);
}

TEST_F(WindowHostTest, WindowSizeFollowsThePresetCompanyKey)
{
    struct Case
    {
        QString entKey;
        QSize size;
    };
    for (const Case &c : {Case{QStringLiteral("ACME"), QSize(425, 170)},
                          Case{QStringLiteral(""), QSize(450, 180)}}) {
        writeIni(c.entKey);
        m_config.readIniConfig();
        EXPECT_EQ(delegate().windowRect(), QRect(QPoint(0, 0), c.size)) << qPrintable(c.entKey);
    }
    delegate().showLoginWindow();
    EXPECT_EQ(delegate().loginWindow()->size(), QSize(450, 180));
}

TEST_F(WindowHostTest, EveryRequestCancelsTheQueuedOperations)
{
    delegate().showLoginWindow();
    for (int request = 0; request < 2; ++request) {
        const int removalsBefore = m_shown->removals();
        const qsizetype shownBefore = m_shown->shown().size();
        // The first operation runs and holds its thread; the second waits in the paused queue.
        m_shown->closeGate();
        uploadService().login(QStringLiteral("alice"), QStringLiteral("pw"), QStringLiteral("ACME"),
                              nullptr);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return m_shown->removals() > removalsBefore; }));
        uploadService().pause();
        uploadService().login(QStringLiteral("bob"), QStringLiteral("pw"), QStringLiteral("ACME"),
                              nullptr);

        delegate().showLoginWindow();
        // Resumed while the first operation still holds its thread: the queue resumes only
        // while it has an operation, and once that one has ended it would stay paused.
        uploadService().resume();
        m_shown->openGate();
        // The started login fails (no service is configured); its failure ends the chain, and its
        // request for the window must not cancel the next round's operation.
        ASSERT_TRUE(TestSupport::waitUntil([&] { return m_shown->shown().size() > shownBefore; }));
        TestSupport::spin(300ms);
        EXPECT_EQ(m_shown->removals(), removalsBefore + 1) << "request " << request;
        if (request == 0)
            delegate().loginWindow()->close();
    }
}

TEST_F(WindowHostTest, JobQueueStaysWhileTheWindowIsActive)
{
    setIdleIntervals(50ms);
    launch();
    delegate().showLoginWindow();
    TestSupport::spin(400ms);
    EXPECT_TRUE(m_idleExits.isEmpty()) << "ended while the user was at the window";

    delegate().loginWindow()->close();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !m_idleExits.isEmpty(); }, 5s));
    EXPECT_EQ(m_idleExits.value(0), 0);
}

TEST_F(WindowHostTest, StatusItemOffersTheWindowAndQuit)
{
    LogCapture log;
    delegate().addStatusItem();
    QSystemTrayIcon *item = delegate().statusItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->toolTip(), "Ferroluxer");
    ASSERT_NE(item->contextMenu(), nullptr);
    EXPECT_EQ(item->contextMenu()->title(), "Ferroluxer");
    const QList<QAction *> actions = item->contextMenu()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions.at(0)->text(), "Changename");
    EXPECT_EQ(actions.at(1)->text(), "Cancel");
    for (QAction *action : actions)
        EXPECT_TRUE(action->shortcut().isEmpty());
    // Offscreen there is no tray: said once, and the client goes on.
    EXPECT_EQ(log.count(QStringLiteral("no system tray")), 1);

    actions.at(0)->trigger();
    ASSERT_NE(delegate().loginWindow(), nullptr);
    EXPECT_TRUE(delegate().loginWindow()->isActive());
    EXPECT_TRUE(m_quits.isEmpty());
    actions.at(1)->trigger();
    EXPECT_EQ(m_quits, QList<int>{0});
}

TEST_F(WindowHostTest, LeftClickOnTheStatusItemOpensItsMenuOnce)
{
    delegate().addStatusItem();
    QSystemTrayIcon *item = delegate().statusItem();
    QMenu *menu = item->contextMenu();
    ASSERT_NE(menu, nullptr);
    int openings = 0;
    QObject::connect(menu, &QMenu::aboutToShow, [&] { ++openings; });
    // Offscreen, as on hosts that keep the icon's place to themselves, only the pointer is known.
    ASSERT_TRUE(item->geometry().isEmpty());
    const QPoint pointer(120, 90);
    QCursor::setPos(pointer);

    // A right click opens the menu through the platform; middle and double clicks open nothing.
    for (const QSystemTrayIcon::ActivationReason reason :
         {QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick, QSystemTrayIcon::DoubleClick,
          QSystemTrayIcon::Unknown})
        emit item->activated(reason);
    EXPECT_EQ(openings, 0);
    EXPECT_FALSE(menu->isVisible());

    emit item->activated(QSystemTrayIcon::Trigger);
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), pointer);
    emit item->activated(QSystemTrayIcon::Trigger); // clicked again while it is open
    emit item->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(openings, 1);

    // Choosing its first item closes it and opens the login window.
    menu->setActiveAction(menu->actions().at(0));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(menu, &enter);
    EXPECT_FALSE(menu->isVisible());
    ASSERT_NE(delegate().loginWindow(), nullptr);
    EXPECT_TRUE(delegate().loginWindow()->isActive());

    emit item->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(openings, 2);
    menu->hide();
}

TEST_F(WindowHostTest, DockMenuIsNewEachTimeWithOneItem)
{
    const std::unique_ptr<QMenu> first = delegate().applicationDockMenu();
    const std::unique_ptr<QMenu> second = delegate().applicationDockMenu();
    EXPECT_NE(first.get(), second.get());
    for (const QMenu *menu : {first.get(), second.get()}) {
        EXPECT_EQ(menu->title(), "Menu");
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions().first()->text(), "Changename");
    }
    second->actions().first()->trigger();
    ASSERT_NE(delegate().loginWindow(), nullptr);
    EXPECT_TRUE(delegate().loginWindow()->isVisible());
}

TEST(StatusTextsTest, EveryStringsTableHasTheMenuTexts)
{
    for (const char *table : {":/i18n/app_en.qm", ":/i18n/app_zh_CN.qm"}) {
        QTranslator translator;
        ASSERT_TRUE(translator.load(QLatin1String(table))) << table;
        for (const char *key : {"Ferroluxer", "Changename", "Cancel"})
            EXPECT_FALSE(translator.translate(Localizable::kContext, key).isEmpty())
                << table << ": " << key;
    }
}

} // namespace
