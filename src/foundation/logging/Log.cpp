#include "Log.h"

#include <QRegularExpression>

#include "FlushBarrierSink.h"

#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <cstdint>
#include <mutex>

namespace {

// How long a flush waits for the logging thread before giving up.
constexpr std::chrono::seconds kFlushLimit{10};

std::mutex loggerMutex;
std::shared_ptr<spdlog::logger> installedLogger;

std::shared_ptr<spdlog::logger> fallbackLogger()
{
    static const std::shared_ptr<spdlog::logger> fallback = [] {
        auto logger = std::make_shared<spdlog::logger>(
            "stderr", std::make_shared<spdlog::sinks::stderr_sink_mt>());
        logger->set_pattern("%Y/%m/%d %H:%M:%S:%e  %v");
        logger->set_level(spdlog::level::trace);
        return logger;
    }();
    return fallback;
}

void write(spdlog::level::level_enum level, const QString &message,
           const std::source_location &where, const char *function)
{
    const std::shared_ptr<spdlog::logger> target = Log::logger();
    const QByteArray text = message.toUtf8();
    target->log(spdlog::source_loc{where.file_name(), static_cast<int>(where.line()), function},
                level, spdlog::string_view_t(text.constData(), size_t(text.size())));
}

void write(spdlog::level::level_enum level, const QString &message,
           const std::source_location &where)
{
    write(level, message, where, where.function_name());
}

QString clientPrefixFor(const QString &function, std::uint_least32_t line)
{
    return QStringLiteral("f: %1, l: %2,\n").arg(function).arg(line);
}

} // namespace

QString Log::functionName(const char *compilerName)
{
    // Inside a coroutine GCC names the frame function, "R C::f(C::f(args)::_Z...Frame*)"; the
    // statement belongs to "R C::f(args)".
    static const QRegularExpression coroutineFrame(
        QStringLiteral(R"(^(.*?)([^\s(]+)\((\2\(.*\))::_Z\S*\.Frame\*\)$)"));
    const QString name = QString::fromUtf8(compilerName);
    const QRegularExpressionMatch match = coroutineFrame.match(name);
    return match.hasMatch() ? match.captured(1) + match.captured(3) : name;
}

QString Log::clientPrefix(const std::source_location &where)
{
    return clientPrefixFor(functionName(where.function_name()), where.line());
}

void Log::client(const QString &message, std::source_location where)
{
    write(spdlog::level::debug, clientPrefix(where) + message, where);
}

void Log::client(const QString &message, const char *function, std::source_location where)
{
    write(spdlog::level::debug,
          clientPrefixFor(QString::fromUtf8(function), where.line()) + message, where, function);
}

void Log::warning(const QString &message, std::source_location where)
{
    write(spdlog::level::warn, message, where);
}

void Log::info(const QString &message, std::source_location where)
{
    write(spdlog::level::info, message, where);
}

void Log::debug(const QString &message, std::source_location where)
{
    write(spdlog::level::debug, message, where);
}

void Log::setLogger(std::shared_ptr<spdlog::logger> logger)
{
    std::lock_guard lock(loggerMutex);
    installedLogger = std::move(logger);
}

std::shared_ptr<spdlog::logger> Log::logger()
{
    std::lock_guard lock(loggerMutex);
    return installedLogger ? installedLogger : fallbackLogger();
}

void Log::flush()
{
    const std::shared_ptr<spdlog::logger> target = logger();
    for (const spdlog::sink_ptr &sink : target->sinks()) {
        if (auto barrier = std::dynamic_pointer_cast<FlushBarrierSink>(sink)) {
            barrier->flushAndWait(*target, kFlushLimit);
            return;
        }
    }
    target->flush();
}
