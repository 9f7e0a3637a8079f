#pragma once

// Collects the messages of Log::warning/info/debug and the process log lines (qInfo, qWarning)
// while it exists, for tests that check what the monitor reports. Any thread may log meanwhile.

#include <QString>
#include <QStringList>

#include <memory>

namespace spdlog {
class logger;
}

class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // Every message so far, statements as "<level>: <text>" (warning, info, debug) and process
    // log lines as "process: <text>".
    QStringList messages() const;
    bool contains(const QString &line) const;
    qsizetype count(const QString &line) const;

    // Shared with the sink and the message handler, which may outlive a statement in flight.
    struct State;

private:
    std::shared_ptr<State> m_state;
    std::shared_ptr<spdlog::logger> m_previousLogger;
};
