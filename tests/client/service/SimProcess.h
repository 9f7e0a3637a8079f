#pragma once

// The printing-service simulator as a child process on 127.0.0.1, for tests of the service calls:
// starts it on free ports, knows its API address, reads the requests it recorded and sets the
// faults it shows. Ends the process (SIGTERM, then kill) when destroyed. Main thread.

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess
{
public:
    ~SimProcess();

    // Starts the simulator with the given extra options; false (with the reason) on failure.
    bool start(const QStringList &options, QString *failure);
    void stop();

    QString apiUrl() const;

    // The recorded requests (all, or those of one call), oldest first.
    QJsonArray requests(const QString &funType = {});
    void clearRequests();
    // Replaces the faults in force; an empty array clears them.
    bool setFaults(const QJsonArray &faults);

private:
    QByteArray exchange(const QByteArray &verb, const QString &path, const QByteArray &body = {});

    QProcess m_process;
    QNetworkAccessManager m_network;
    quint16 m_httpPort = 0;
};
