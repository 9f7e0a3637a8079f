#pragma once

// Where the user sees the client's notifications: the desktop's notification service, the tray,
// or at least the log. Implementations may be called from any thread.

#include <QString>

class UserNotificationCenter
{
public:
    virtual ~UserNotificationCenter() = default;

    // Shows one notification at once. A null or empty subtitle or body adds no line for it.
    virtual void deliver(const QString &title, const QString &subtitle, const QString &body) = 0;

    // Withdraws the notifications that this centre has delivered and that are still shown.
    virtual void removeDelivered() = 0;

protected:
    // For places that show no subtitle: the subtitle and the body as the lines of one text,
    // leaving out the empty ones.
    static QString bodyWithSubtitle(const QString &subtitle, const QString &body);
};
