#pragma once

// Plants entries in shared folders as another local user would, for tests of what a program does
// with entries it did not make. Tests run as root, and an entry root makes is not one an attacker
// can make, so the command runs as "nobody" (through setpriv); a test run by another user runs it
// as itself.

#include <QString>
#include <QStringList>

namespace OtherUser {

// Runs the command as "nobody" when the test is root; true when it ran and succeeded. What it
// writes to standard error shows in the test's output.
bool run(const QStringList &command);

// The command line that runs the command as run() does, for a command that runs in the background.
QStringList commandLine(const QStringList &command);

// Runs `sh -c script` in the same way, with the arguments as $1, $2, ...
bool runScript(const QString &script, const QStringList &arguments);

// A symbolic link at link that leads to target (which need not exist).
bool plantLink(const QString &target, const QString &link);

// Opens the folder to every user, as the shared folders are, and lets every user pass through
// the folder above it (a temporary folder is private to its maker).
bool shareFolder(const QString &folder, const QString &parent);

} // namespace OtherUser
