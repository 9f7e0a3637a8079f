#pragma once

// The one place that posts the client's user notifications: logging in, uploading, success,
// failure. It forwards each to its notification centre; it keeps no state of its own beyond
// which centre that is.
//
// pushNotificationWithTitle() may be called from any thread. Called on a global-pool thread it
// hands the posting to the global pool and returns at once; on any other thread it hands the
// notification to the centre before it returns.
//
// shareManager() is the process's instance. Its centre is the desktop's notification service on
// the session bus, falling back to the log; it is made on first use, so a centre installed with
// setCenter() before then keeps the session bus untouched. Tests construct their own instance.

#include "client/platform/UserNotificationCenter.h"

#include <QMutex>
#include <QString>

#include <memory>

class PRNotification
{
public:
    static PRNotification &shareManager();

    explicit PRNotification(std::shared_ptr<UserNotificationCenter> center);

    void pushNotificationWithTitle(const QString &title, const QString &subTitle,
                                   const QString &description);

    // Posts, on the main thread, the localized "File processed successfully" or "File processed
    // failed" under the title "Tarvello".
    void pushFileConversionNotification(bool succeeded);

    // Withdraws the notifications that this run has posted.
    void removeDeliveredNotifications();

    void setCenter(std::shared_ptr<UserNotificationCenter> center);
    std::shared_ptr<UserNotificationCenter> center() const;

private:
    PRNotification() = default;

    mutable QMutex m_mutex;
    mutable std::shared_ptr<UserNotificationCenter> m_center;
};
