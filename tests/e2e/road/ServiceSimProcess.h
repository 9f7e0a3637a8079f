#pragma once

// vqm-service-sim as the print road's printing service: its HTTP API, its own FTP server serving
// one folder, and its push server, on 127.0.0.1, with one account. Every request it receives is
// read back from its record file. Main thread only.

#include "ManagedProcess.h"

#include "foundation/Error.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <chrono>

class ServiceSimProcess
{
public:
    struct Account
    {
        QString entKey;
        QString userName;
        QString password;
    };

    // The folder holds the FTP root, the record file and the simulator's output.
    ServiceSimProcess(QString program, QString folder);

    Result<Done> start(const Account &account, std::chrono::milliseconds limit);
    void stop();

    quint16 httpPort() const { return m_httpPort; }
    quint16 pushPort() const { return m_pushPort; }
    QString ftpRoot() const;

    // The recorded requests of one call ("funType"), oldest first: each with "members" (what
    // the client sent) and "reply" -> "answer" (what the simulator answered).
    QList<QJsonObject> requests(const QString &funType) const;
    QString logTail() const { return m_process.logTail(); }

private:
    QString recordPath() const;

    QString m_program;
    QString m_folder;
    ManagedProcess m_process;
    quint16 m_httpPort = 0;
    quint16 m_pushPort = 0;
};
