#pragma once

// The client's in-process notification centre: a poster names a notification, every observer
// connected to notificationPosted() receives the name. Posting is synchronous: observers on the
// main thread run before postNotificationName() returns.
//
// defaultCenter() is the process's centre, created on first use and never destroyed; tests
// construct their own. Main thread.

#include <QObject>
#include <QString>

class NotificationCenter : public QObject
{
    Q_OBJECT

public:
    // Asks the application shell to show the login window; no object, no user information.
    static constexpr auto kNotificationShowLoginWindow = "kNotificationShowLoginWindow";

    static NotificationCenter &defaultCenter();

    explicit NotificationCenter(QObject *parent = nullptr);

    void postNotificationName(const QString &name);

signals:
    void notificationPosted(const QString &name);
};
