#pragma once

// A real FTP server (pyftpdlib, run by /usr/bin/python3) on 127.0.0.1 and an ephemeral port, with
// a temporary writable root and one user. It records every command it receives, so tests can see
// which requests reached the server and in what order. The server ends with the fixture (and by
// itself when the test process dies).

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class FtpServerFixture
{
public:
    // The script is ftp_server.py or one that takes the same arguments (and the extra ones).
    explicit FtpServerFixture(QString script = defaultScript(), QStringList extraArguments = {});
    ~FtpServerFixture();

    // Starts the server and waits until it listens; false (see errorString) when it cannot.
    bool start();

    quint16 port() const { return m_port; }
    QString root() const;
    QString user() const { return QStringLiteral("tester"); }
    QString password() const { return QStringLiteral("secret"); }
    QString errorString() const { return m_errorString; }

    // The command lines received so far, in order ("MKD a/b"); passwords show as "PASS ****".
    QStringList commands() const;
    // Only the commands of the given verb ("MKD"), with their arguments.
    QStringList commands(const QString &verb) const;
    void clearCommands();

    static QString defaultScript();

private:
    QString m_script;
    QStringList m_extraArguments;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_errorString;
};
