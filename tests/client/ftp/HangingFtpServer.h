#pragma once

// An FTP server on 127.0.0.1 that logs every client in, never answers a directory creation
// (MKD) and refuses every other command. It records the commands it receives. It runs on the
// thread that made it (the test's main thread) and answers from its event loop.

#include "client/models/VQJobInfoResult.h"

#include <QList>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

class HangingFtpServer : public QObject
{
    Q_OBJECT
public:
    HangingFtpServer();

    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    QStringList commands() const { return m_commands; }
    int connectionCount() const { return m_connectionCount; }

    // A job's target on this server with the given directory.
    VQJobInfoResult target(const QString &dir) const;
    // A small job copy written into the folder; its path, empty when it could not be written.
    static QString writeJobCopy(const QString &folder);

private:
    void accept();
    void answer(QTcpSocket *client);

    QTcpServer m_server;
    QStringList m_commands;
    int m_connectionCount = 0;
};
