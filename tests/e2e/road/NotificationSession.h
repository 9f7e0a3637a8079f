#pragma once

// A private session bus (dbus-daemon --session on a socket in the road's folder) with
// vqm-notification-recorder as its notification service, so that the client's notifications
// are read back instead of shown. Main thread only.

#include "ManagedProcess.h"

#include "foundation/Error.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <chrono>

class NotificationSession
{
public:
    NotificationSession(QString recorderProgram, QString folder);

    Result<Done> start(std::chrono::milliseconds limit);
    void stop();

    // For DBUS_SESSION_BUS_ADDRESS.
    QString busAddress() const { return m_busAddress; }
    // Every notification posted so far, oldest first: "appName", "summary", "body", "id".
    QList<QJsonObject> notifications() const;
    // The notifications' bodies, oldest first.
    QStringList bodies() const;
    QString logTail() const;

private:
    QString recordPath() const;

    QString m_recorderProgram;
    QString m_folder;
    ManagedProcess m_bus;
    ManagedProcess m_recorder;
    QString m_busAddress;
};
