#pragma once

// One program the print road starts. Its standard output and error go to a log file of its own,
// which the road reads to learn that the program is ready and quotes when something fails. The
// program is stopped with SIGTERM (then killed) on stop() or when this object goes. Main thread
// only; nothing is signalled, callers poll.

#include "foundation/Error.h"

#include <QProcessEnvironment>
#include <QRegularExpressionMatch>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

class QProcess;

class ManagedProcess
{
public:
    ManagedProcess(QString name, QString logPath);
    ~ManagedProcess();
    ManagedProcess(const ManagedProcess &) = delete;
    ManagedProcess &operator=(const ManagedProcess &) = delete;

    Result<Done> start(const QString &program, const QStringList &arguments,
                       const QProcessEnvironment &environment);
    // The first match of the pattern in the log, once there is one; an error when the program
    // ends first or the time limit passes.
    Result<QRegularExpressionMatch> waitForOutput(const QRegularExpression &pattern,
                                                  std::chrono::milliseconds limit);
    bool isRunning() const;
    void stop();

    // The end of the log, for failure messages.
    QString logTail() const;

private:
    Error failure(const QString &what) const;

    QString m_name;
    QString m_logPath;
    std::unique_ptr<QProcess> m_process;
};
