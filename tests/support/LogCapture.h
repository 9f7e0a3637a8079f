#pragma once

// Collects, while it lives, the program's log statements (Log::client, warning, info, debug, sent
// to a logger of its own) and the plain process log (qInfo, qWarning, qCritical, ..., still passed
// on to the handler installed before), so that tests can look for the lines that matter. Restores
// the previous logger and handler at the end. Captures may nest: the innermost one receives. Any
// thread may log meanwhile.

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

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

    // The statements, each as its text without surrounding white space.
    QStringList lines() const;
    // How many statements contain the text.
    qsizetype count(const QString &text) const { return lines().filter(text).size(); }
    // The statements, one a line.
    QString text() const { return lines().join(QLatin1Char('\n')); }

    // Statements and process log lines in the order they came: statements as "<level>: <text>"
    // (warning, info, debug), process log lines as "process: <text>".
    QStringList messages() const;
    bool contains(const QString &message) const { return messages().contains(message); }

    struct ProcessMessage
    {
        QtMsgType type;
        QString text;
    };
    QList<ProcessMessage> processMessages() const;
    QStringList processTexts() const;
    // How many process log lines contain the text.
    qsizetype processCount(const QString &text) const { return processTexts().filter(text).size(); }

    // Shared with the sink and the message handler, which may outlive a statement in flight.
    struct State;

private:
    std::shared_ptr<State> m_state;
    std::shared_ptr<spdlog::logger> m_previousLogger;
};
