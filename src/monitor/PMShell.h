#pragma once

// Runs a shell command line and returns what it writes to standard output. Blocks the calling
// thread until the command ends; any thread.

#include <QString>

class PMShell
{
public:
    static constexpr auto kShell = "/bin/bash";

    // The command's standard output as text (invalid UTF-8 repaired); standard error is not
    // caught and the exit status is not examined.
    static QString cmd(const QString &commandLine);
};
