#include "LogCapture.h"

#include "foundation/logging/Log.h"

#include <QMutex>
#include <QtGlobal>

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <mutex>

struct LogCapture::State
{
    mutable QMutex mutex;
    QStringList messages;

    void add(const QString &line)
    {
        QMutexLocker lock(&mutex);
        messages.append(line);
    }
};

namespace {

class CaptureSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
    explicit CaptureSink(std::shared_ptr<LogCapture::State> state)
        : m_state(std::move(state))
    {}

protected:
    void sink_it_(const spdlog::details::log_msg &message) override
    {
        const char *level = message.level == spdlog::level::warn   ? "warning"
                            : message.level == spdlog::level::info ? "info"
                                                                   : "debug";
        m_state->add(QStringLiteral("%1: %2").arg(
            QLatin1String(level),
            QString::fromUtf8(message.payload.data(), qsizetype(message.payload.size()))));
    }
    void flush_() override {}

private:
    std::shared_ptr<LogCapture::State> m_state;
};

// Captures may nest; the innermost one receives the process log lines.
QMutex processLogMutex;
QList<std::shared_ptr<LogCapture::State>> processLogTargets;
QtMessageHandler defaultHandler = nullptr;

void captureProcessLog(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    std::shared_ptr<LogCapture::State> state;
    QtMessageHandler forward = nullptr;
    {
        QMutexLocker lock(&processLogMutex);
        if (!processLogTargets.isEmpty())
            state = processLogTargets.last();
        forward = defaultHandler;
    }
    if (state)
        state->add(QStringLiteral("process: ") + text);
    if (forward)
        forward(type, context, text);
}

} // namespace

LogCapture::LogCapture()
    : m_state(std::make_shared<State>())
    , m_previousLogger(Log::logger())
{
    auto logger =
        std::make_shared<spdlog::logger>("capture", std::make_shared<CaptureSink>(m_state));
    logger->set_level(spdlog::level::trace);
    Log::setLogger(logger);
    QMutexLocker lock(&processLogMutex);
    if (processLogTargets.isEmpty())
        defaultHandler = qInstallMessageHandler(captureProcessLog);
    processLogTargets.append(m_state);
}

LogCapture::~LogCapture()
{
    {
        QMutexLocker lock(&processLogMutex);
        processLogTargets.removeAll(m_state);
        if (processLogTargets.isEmpty())
            qInstallMessageHandler(defaultHandler);
    }
    Log::setLogger(m_previousLogger);
}

QStringList LogCapture::messages() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->messages;
}

bool LogCapture::contains(const QString &line) const
{
    return messages().contains(line);
}

qsizetype LogCapture::count(const QString &line) const
{
    return messages().count(line);
}
