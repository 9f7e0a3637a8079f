#pragma once

// The client's log-file names: "<identifier> yyyy-MM-dd--HH-mm-ss-SSS.log" by local creation time.
// Only such names count as log files. Thread-safe (no mutable state).

#include "LogFileNamingPolicy.h"

#include <QDateTime>

#include <functional>

class DefaultLogFileNamingPolicy : public LogFileNamingPolicy
{
public:
    using Clock = std::function<QDateTime()>;

    explicit DefaultLogFileNamingPolicy(QString identifier, Clock clock = {});

    QString newLogFileName() const override;
    bool isLogFile(const QString &fileName) const override;

private:
    QString m_identifier;
    Clock m_clock;
};
