#pragma once

// How a program names its log files and which entries of the log folder count as its log files
// (for picking the file to continue and for deleting the oldest beyond the limits). Called on the
// logging thread, so implementations must be safe to call from any thread.

#include <QString>

class LogFileNamingPolicy
{
public:
    virtual ~LogFileNamingPolicy() = default;

    // The name of a file about to be created.
    virtual QString newLogFileName() const = 0;

    virtual bool isLogFile(const QString &fileName) const = 0;
};
