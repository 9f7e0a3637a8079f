#include "LogCapture.h"

#include "foundation/logging/Log.h"

#include <QMutex>

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <mutex>
#include <optional>

namespace {

struct Entry
{
    // Set for a statement; a process log line has none.
    std::optional<spdlog::level::level_enum> level;
    QtMsgType type = QtDebugMsg;
    QString text;
};

} // namespace

struct LogCapture::State
{
    mutable QMutex mutex;
    QList<Entry> entries;

    void add(Entry entry)
    {
        QMutexLocker lock(&mutex);
        entries.append(std::move(entry));
    }
    QList<Entry> snapshot() const
    {
        QMutexLocker lock(&mutex);
        return entries;
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
        m_state->add(
            {message.level, QtDebugMsg,
             QString::fromUtf8(message.payload.data(), qsizetype(message.payload.size()))});
    }
    void flush_() override {}

private:
    std::shared_ptr<LogCapture::State> m_state;
};

QMutex processLogMutex;
QList<std::shared_ptr<LogCapture::State>> processLogTargets;
QtMessageHandler previousHandler = nullptr;

void captureProcessLog(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    std::shared_ptr<LogCapture::State> state;
    QtMessageHandler forward = nullptr;
    {
        QMutexLocker lock(&processLogMutex);
        if (!processLogTargets.isEmpty())
            state = processLogTargets.last();
        forward = previousHandler;
    }
    if (state)
        state->add({std::nullopt, type, text});
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
        previousHandler = qInstallMessageHandler(captureProcessLog);
    processLogTargets.append(m_state);
}

LogCapture::~LogCapture()
{
    {
        QMutexLocker lock(&processLogMutex);
        processLogTargets.removeAll(m_state);
        if (processLogTargets.isEmpty())
            qInstallMessageHandler(previousHandler);
    }
    Log::setLogger(m_previousLogger);
}

QStringList LogCapture::lines() const
{
    QStringList result;
    for (const Entry &entry : m_state->snapshot()) {
        if (entry.level)
            result << entry.text.trimmed();
    }
    return result;
}

QStringList LogCapture::messages() const
{
    QStringList result;
    for (const Entry &entry : m_state->snapshot()) {
        const spdlog::string_view_t level = entry.level
                                                ? spdlog::level::to_string_view(*entry.level)
                                                : spdlog::string_view_t("process");
        result << QStringLiteral("%1: %2").arg(QLatin1String(level.data(), qsizetype(level.size())),
                                               entry.text);
    }
    return result;
}

QList<LogCapture::ProcessMessage> LogCapture::processMessages() const
{
    QList<ProcessMessage> result;
    for (const Entry &entry : m_state->snapshot()) {
        if (!entry.level)
            result.append({entry.type, entry.text});
    }
    return result;
}

QStringList LogCapture::processTexts() const
{
    QStringList result;
    for (const ProcessMessage &message : processMessages())
        result << message.text;
    return result;
}
