#pragma once

#include "foundation/Error.h"

#include <QList>
#include <QProcess>
#include <QString>

// The FTP server the simulator starts: a pyftpdlib child process that serves one folder, writable,
// to a few users. start() waits (bounded) until the child reports its port; stop() ends the child
// with SIGTERM and kills it if it lingers. The child also ends by itself when this process goes,
// because it watches its standard input. Main thread only.
class FtpServerProcess
{
public:
    struct Login
    {
        QString user;
        QString password;
    };

    struct Config
    {
        QString python;
        QString script;
        QString host;
        quint16 port = 0;
        QString root;
        QList<Login> logins;
    };

    FtpServerProcess() = default;
    ~FtpServerProcess();
    FtpServerProcess(const FtpServerProcess &) = delete;
    FtpServerProcess &operator=(const FtpServerProcess &) = delete;

    Result<quint16> start(const Config &config);
    // Whether the child has ended (or never ran).
    bool stop();
    qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
};
