#pragma once

// A stand-in for the desktop's notification service: it records the Notify and
// CloseNotification calls it receives and answers Notify with ids 1, 2, 3, ... It is exported on
// the bus by the test and runs on the test's main thread.

#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class FakeNotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notification
    {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
    };

    QList<Notification> notifications() const { return m_notifications; }
    QList<uint> closed() const { return m_closed; }

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int expireTimeout);
    void CloseNotification(uint id);

signals:
    void NotificationClosed(uint id, uint reason);

private:
    QList<Notification> m_notifications;
    QList<uint> m_closed;
};
