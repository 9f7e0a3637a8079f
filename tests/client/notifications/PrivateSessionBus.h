#pragma once

// A message bus of the test's own (dbus-daemon with a minimal configuration in a temporary
// folder), so that tests never reach the user's session. No service is activated on it: only
// what a test registers exists. The daemon ends with the object.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class PrivateSessionBus
{
public:
    PrivateSessionBus();
    ~PrivateSessionBus();

    bool start();
    QString address() const { return m_address; }
    QString errorString() const { return m_errorString; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_errorString;
};
