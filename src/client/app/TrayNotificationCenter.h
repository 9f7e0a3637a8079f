#pragma once

// Shows the client's notifications as messages of its status item when the desktop offers no
// notification service: used as the desktop centre's fallback. When the session has no tray (the
// message would show nothing) each notification goes on to the last-resort centre, the log.
//
// Any thread may deliver; the status item is used on the main thread only, where every delivery
// is carried out (at once when delivered there). The status item is set once it exists.

#include "client/platform/UserNotificationCenter.h"

#include <QMutex>
#include <QPointer>
#include <QSystemTrayIcon>

#include <memory>

class TrayNotificationCenter : public UserNotificationCenter,
                               public std::enable_shared_from_this<TrayNotificationCenter>
{
public:
    explicit TrayNotificationCenter(std::shared_ptr<UserNotificationCenter> lastResort);

    // Main thread.
    void setTrayIcon(QSystemTrayIcon *trayIcon);

    void deliver(const QString &title, const QString &subtitle, const QString &body) override;
    // Tray messages vanish by themselves; the last resort keeps what it was given.
    void removeDelivered() override;

private:
    void show(const QString &title, const QString &subtitle, const QString &body);
    bool canShow() const;

    const std::shared_ptr<UserNotificationCenter> m_lastResort;
    QPointer<QSystemTrayIcon> m_trayIcon; // main thread only
};
