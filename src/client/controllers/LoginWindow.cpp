#include "LoginWindow.h"

#include "MainViewController.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHideEvent>
#include <QMoveEvent>
#include <QScreen>
#include <QShowEvent>

namespace {

// No title and no minimize or zoom button: the close button alone. Kept above other windows,
// like a status window.
constexpr Qt::WindowFlags kWindowFlags = Qt::Window | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                         Qt::WindowStaysOnTopHint;

} // namespace

LoginWindow::LoginWindow(const QRect &contentRect, const QString &title, QWidget *parent)
    : QWidget(parent, kWindowFlags)
{
    // The window shows no title.
    Q_UNUSED(title);
    setFixedSize(contentRect.size());
    move(contentRect.topLeft());
    m_isActive = true;
}

void LoginWindow::setDelegate(MainViewController *delegate)
{
    disconnect(m_delegateConnection);
    if (delegate)
        m_delegateConnection = connect(this, &LoginWindow::windowWillClose, delegate,
                                       &MainViewController::windowWillClose);
}

void LoginWindow::setContentViewController(MainViewController *controller)
{
    if (m_contentViewController && m_contentViewController != controller)
        m_contentViewController->setParent(nullptr);
    m_contentViewController = controller;
    if (!controller)
        return;
    controller->setParent(this);
    controller->setGeometry(rect());
    controller->show();
}

MainViewController *LoginWindow::contentViewController() const
{
    return m_contentViewController;
}

void LoginWindow::close(QObject *sender)
{
    Q_UNUSED(sender);
    close();
}

void LoginWindow::orderOut()
{
    hide();
    m_isActive = false;
}

void LoginWindow::makeKeyAndOrderFront()
{
    show();
    raise();
    activateWindow();
}

void LoginWindow::center()
{
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void LoginWindow::addChildWindow(QWidget *child, WindowOrdering ordered)
{
    if (!child)
        return;
    removeChildWindow(child);
    m_childWindows.append({child, ordered});
    if (isVisible())
        orderChildrenIn();
}

void LoginWindow::removeChildWindow(QWidget *child)
{
    m_childWindows.removeIf(
        [child](const ChildWindow &entry) { return !entry.window || entry.window == child; });
}

QList<QWidget *> LoginWindow::childWindows() const
{
    QList<QWidget *> windows;
    for (const ChildWindow &entry : m_childWindows) {
        if (entry.window)
            windows.append(entry.window);
    }
    return windows;
}

void LoginWindow::closeEvent(QCloseEvent *event)
{
    emit windowWillClose();
    QWidget::closeEvent(event);
    if (event->isAccepted())
        m_isActive = false;
}

void LoginWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    const QPoint delta = event->pos() - event->oldPos();
    for (QWidget *child : childWindows())
        child->move(child->pos() + delta);
}

void LoginWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        orderChildrenIn();
}

void LoginWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Children leave the screen with this window and come back with it; what the window system
    // does to the windows by itself (another desktop shown) it does to the children too.
    if (event->spontaneous())
        return;
    for (QWidget *child : childWindows())
        child->hide();
}

void LoginWindow::orderChildrenIn()
{
    bool anyBelow = false;
    for (const ChildWindow &entry : m_childWindows) {
        if (!entry.window)
            continue;
        entry.window->show();
        if (entry.ordered == WindowOrdering::Below)
            anyBelow = true;
        else
            entry.window->raise();
    }
    if (anyBelow)
        raise();
}
