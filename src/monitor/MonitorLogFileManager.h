#pragma once

// Names the monitor's log files "Monitor_" + the local date in the pattern "YYYY.MM.dd" + ".log"
// (the week-based year, as the log purge reads it). Every entry of the log folder counts as a log
// file, so any file there counts toward the number of files kept. Thread-safe.

#include "foundation/logging/LogFileNamingPolicy.h"

#include <QDateTime>

#include <functional>

class MonitorLogFileManager : public LogFileNamingPolicy
{
public:
    static constexpr auto kNamePrefix = "Monitor_";
    static constexpr auto kDatePattern = "YYYY.MM.dd";
    static constexpr auto kExtension = ".log";

    using Clock = std::function<QDateTime()>;

    // The clock gives "now"; empty means the system clock.
    explicit MonitorLogFileManager(Clock clock = {});

    QString newLogFileName() const override;
    bool isLogFile(const QString &fileName) const override;

    // Today's local date in the pattern.
    QString getTimestamp() const;

private:
    Clock m_clock;
};
