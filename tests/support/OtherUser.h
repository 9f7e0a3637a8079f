#pragma once

// Plants entries in shared folders as another local user would, for tests of what a program does
// with entries it did not make. Tests run as root, and an entry root makes is not one an attacker
// can make, so the command runs as "nobody" (through setpriv); a test run by another user runs it
// as itself.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

namespace OtherUser {

// Runs the command as "nobody" when the test is root; true when it ran and succeeded.
inline bool run(const QStringList &command)
{
    constexpr int kLimitMs = 10000;
    QStringList arguments = command;
    QString program = arguments.takeFirst();
    if (::geteuid() == 0) {
        arguments = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                QStringLiteral("--clear-groups"), program} +
                    arguments;
        program = QStringLiteral("setpriv");
    }
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(kLimitMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// A symbolic link at link that leads to target (which need not exist).
inline bool plantLink(const QString &target, const QString &link)
{
    return run({QStringLiteral("ln"), QStringLiteral("-s"), QStringLiteral("--"), target, link});
}

// Opens the folder to every user, as the shared folders are, and lets every user pass through
// the folder above it (a temporary folder is private to its maker).
inline bool shareFolder(const QString &folder, const QString &parent)
{
    return ::chmod(QFile::encodeName(parent).constData(), 0755) == 0 &&
           ::chmod(QFile::encodeName(folder).constData(), 0777) == 0;
}

} // namespace OtherUser
