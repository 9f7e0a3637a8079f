#include "ManagedProcess.h"

#include "Polling.h"
#include "RoadFiles.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>

namespace {

constexpr auto kErrorDomain = "e2e.process";
constexpr int kStartLimitMs = 10000;
constexpr int kTerminateLimitMs = 5000;
constexpr int kKillLimitMs = 2000;

} // namespace

ManagedProcess::ManagedProcess(QString name, QString logPath)
    : m_name(std::move(name))
    , m_logPath(std::move(logPath))
{}

ManagedProcess::~ManagedProcess()
{
    stop();
}

Result<Done> ManagedProcess::start(const QString &program, const QStringList &arguments,
                                   const QProcessEnvironment &environment)
{
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(program);
    m_process->setArguments(arguments);
    m_process->setProcessEnvironment(environment);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_logPath, QIODevice::Append);
    m_process->start();
    if (!m_process->waitForStarted(kStartLimitMs))
        return failure(
            QStringLiteral("cannot start %1: %2").arg(program, m_process->errorString()));
    return Done{};
}

Result<QRegularExpressionMatch> ManagedProcess::waitForOutput(const QRegularExpression &pattern,
                                                              std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit);
    for (;;) {
        QFile log(m_logPath);
        const QString text =
            log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
        if (const QRegularExpressionMatch match = pattern.match(text); match.hasMatch())
            return match;
        if (!isRunning())
            return failure(QStringLiteral("ended (status %1) before printing \"%2\"")
                               .arg(m_process ? m_process->exitCode() : -1)
                               .arg(pattern.pattern()));
        if (deadline.hasExpired())
            return failure(QStringLiteral("printed no \"%1\" within %2 ms")
                               .arg(pattern.pattern())
                               .arg(limit.count()));
        // Also the pause between two looks.
        m_process->waitForFinished(Polling::kIntervalMs);
    }
}

bool ManagedProcess::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

void ManagedProcess::stop()
{
    if (!isRunning())
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(kTerminateLimitMs)) {
        m_process->kill();
        m_process->waitForFinished(kKillLimitMs);
    }
}

QString ManagedProcess::logTail() const
{
    return RoadFiles::tail(m_logPath);
}

Error ManagedProcess::failure(const QString &what) const
{
    return Error{QString::fromLatin1(kErrorDomain), 1,
                 QStringLiteral("%1 %2; its output ends:\n%3").arg(m_name, what, logTail())};
}
