#pragma once

// The client's only window, which holds the login form (MainViewController). It has no title and
// only a close button, stays above other windows, and keeps its size. isActive tells the job
// queue whether the user is at the window: YES from creation and whenever the shell brings the
// window back (setIsActive), NO once it is closed or ordered out.
//
// Closing (the close button, close(), or the close action close(sender)) emits windowWillClose()
// first, then hides the window and marks it inactive; the window object lives on and is shown
// again on the next demand. orderOut() only hides it.
// Child windows attached with addChildWindow() move, show and hide with this window.
//
// Main thread. Owns its content view controller (a child widget) once it is set.

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

class MainViewController;

class LoginWindow : public QWidget
{
    Q_OBJECT

public:
    enum class WindowOrdering { Below = -1, Above = 1 };

    // The window's content is the rectangle's size, placed at its origin; the title is not
    // shown. Made hidden and active.
    LoginWindow(const QRect &contentRect, const QString &title, QWidget *parent = nullptr);

    bool isActive() const { return m_isActive; }
    void setIsActive(bool isActive) { m_isActive = isActive; }

    // The window's delegate: its windowWillClose() runs whenever this window closes.
    void setDelegate(MainViewController *delegate);
    // Puts the controller's view into the window as its content, sized to the content.
    void setContentViewController(MainViewController *controller);
    MainViewController *contentViewController() const;

    using QWidget::close;
    // The close action of a control; the sender is not read. Closes as the close button does.
    void close(QObject *sender);

    // Hides the window without closing it, and marks it inactive.
    void orderOut();
    // Shows the window in front of the others and gives it the keyboard.
    void makeKeyAndOrderFront();
    // Moves the window to the middle of its screen.
    void center();

    // The child is a top-level window of its own; ordered Below it stays behind this window.
    // It is shown now when this window is on screen.
    void addChildWindow(QWidget *child, WindowOrdering ordered);
    void removeChildWindow(QWidget *child);
    QList<QWidget *> childWindows() const;

signals:
    void windowWillClose();

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct ChildWindow
    {
        QPointer<QWidget> window;
        WindowOrdering ordered;
    };

    void orderChildrenIn();

    bool m_isActive = false;
    QMetaObject::Connection m_delegateConnection;
    QPointer<MainViewController> m_contentViewController;
    QList<ChildWindow> m_childWindows;
};
