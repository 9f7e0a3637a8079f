#pragma once

// Sends every log statement to a file in a temporary folder while it lives, so that a test can
// read what was logged; restores the previous logger when it ends.

#include <QString>
#include <QTemporaryDir>

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

    // Everything logged so far.
    QString text() const;

private:
    QTemporaryDir m_folder;
    QString m_path;
    std::shared_ptr<spdlog::logger> m_previous;
};
