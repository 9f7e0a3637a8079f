#pragma once

// An FTP server on 127.0.0.1 that logs every client in, never answers a directory creation
// (MKD) and refuses every other command. It records the commands it receives. It runs on the
// thread that made it (the test's main thread) and answers from its event loop.

#include "client/models/VQJobInfoResult.h"

#include <QList>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>

#include <chrono>

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

private:
    void accept();
    void answer(QTcpSocket *client);

    QTcpServer m_server;
    QStringList m_commands;
    int m_connectionCount = 0;
};

// A hanging server and a small job copy to send to it, in a copy folder of the copy's own.
struct HangingFtpJob
{
    HangingFtpServer server;
    QTemporaryDir copyFolder;
    QString copy;

    // Starts the server and writes the copy; whether both worked.
    bool prepare();
    // Runs the event loop until the first directory request ("MKD a") has come, where an upload to
    // a target under "/a" hangs; whether it came within the limit.
    bool waitForFirstDirectoryRequest(std::chrono::milliseconds limit);
};
