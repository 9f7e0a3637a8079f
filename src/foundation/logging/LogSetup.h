#pragma once

// Builds and installs the program's asynchronous logger: the system log (syslog), optionally
// standard error, and rolling log files. Entries read "yyyy/MM/dd HH:mm:ss:SSS", two blanks and
// the message; every level is admitted. Call install once at start-up on any thread; the sinks then
// run on the logger's own worker thread.

#include "RollingFileSink.h"

#include <QString>

#include <memory>

class LogFileNamingPolicy;

struct LogSetupOptions
{
    QString syslogIdent; // null: no system log
    bool toStderr = false;
    QString fileFolder; // null: no log files
    std::shared_ptr<const LogFileNamingPolicy> naming;
    RollingFileLimits limits;
    RollingFileSink::Clock clock; // empty: the system clock
};

class LogSetup
{
public:
    static constexpr const char *kPattern = "%Y/%m/%d %H:%M:%S:%e  %v";

    // Installs the new logger with Log::setLogger; a logger installed before is drained first.
    static void install(const LogSetupOptions &options);

    // Writes out every pending entry, then removes the logger (Log falls back to standard error).
    static void shutdown();
};
