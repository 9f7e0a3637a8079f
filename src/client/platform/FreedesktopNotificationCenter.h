#pragma once

// Notifications through the desktop's notification service ("org.freedesktop.Notifications" on
// the session bus). It owns the ids that the service gave to the notifications it posted, so that
// removeDelivered() can close exactly those; the service offers no way to find the ones of an
// earlier run. When the bus or the service is missing, or the service refuses a notification, the
// notification goes to the fallback centre instead.
//
// It lives on the thread that made it (the main thread). deliver() and removeDelivered() may be
// called from any thread; their D-Bus calls leave from the centre's thread, and the service's
// replies and signals are handled there.

#include "UserNotificationCenter.h"

#include <QDBusConnection>
#include <QList>
#include <QMutex>
#include <QObject>

#include <memory>

class FreedesktopNotificationCenter : public QObject, public UserNotificationCenter
{
    Q_OBJECT
public:
    static constexpr auto kService = "org.freedesktop.Notifications";
    static constexpr auto kPath = "/org/freedesktop/Notifications";
    static constexpr auto kInterface = "org.freedesktop.Notifications";
    static constexpr auto kAppName = "Tarvello";

    FreedesktopNotificationCenter(QDBusConnection bus,
                                  std::shared_ptr<UserNotificationCenter> fallback);

    void deliver(const QString &title, const QString &subtitle, const QString &body) override;
    void removeDelivered() override;

    // Replaces the centre that takes the notifications the service cannot show.
    void setFallback(std::shared_ptr<UserNotificationCenter> fallback);

private slots:
    void forget(uint id, uint reason);

private:
    void notify(const QString &title, const QString &subtitle, const QString &body);
    void closeDelivered();
    std::shared_ptr<UserNotificationCenter> fallback() const;

    QDBusConnection m_bus;
    mutable QMutex m_fallbackMutex;
    std::shared_ptr<UserNotificationCenter> m_fallback;
    QList<uint> m_delivered; // the centre's thread only
};
