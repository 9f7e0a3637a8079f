#pragma once

// Collects the program's log statements while it lives (it installs its own logger and restores
// the default one at the end), so that tests can look for the lines that matter.

#include "foundation/logging/Log.h"

#include <QString>
#include <QStringList>

#include <spdlog/sinks/ringbuffer_sink.h>
#include <spdlog/spdlog.h>

#include <memory>

class LogCapture
{
public:
    LogCapture()
        : m_sink(std::make_shared<spdlog::sinks::ringbuffer_sink_mt>(kKeptLines))
    {
        auto logger = std::make_shared<spdlog::logger>("capture", m_sink);
        logger->set_pattern("%v");
        logger->set_level(spdlog::level::trace);
        Log::setLogger(logger);
    }
    ~LogCapture() { Log::setLogger(nullptr); }

    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const
    {
        QStringList result;
        for (const std::string &line : m_sink->last_formatted()) {
            result << QString::fromStdString(line).trimmed();
        }
        return result;
    }

    // How many statements contain the text.
    qsizetype count(const QString &text) const { return lines().filter(text).size(); }

private:
    static constexpr size_t kKeptLines = 1000;
    std::shared_ptr<spdlog::sinks::ringbuffer_sink_mt> m_sink;
};
