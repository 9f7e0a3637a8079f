#include "LogSetup.h"

#include "FlushBarrierSink.h"
#include "Log.h"

#include <spdlog/async.h>
#include <spdlog/async_logger.h>
#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/sinks/syslog_sink.h>

#include <syslog.h>

#include <mutex>
#include <vector>

namespace {

constexpr size_t kQueueSize = 8192;
constexpr size_t kWorkerThreads = 1; // one worker keeps the entries in order
constexpr const char *kLoggerName = "vqm";

std::mutex setupMutex;
std::shared_ptr<spdlog::details::thread_pool> workerPool;

} // namespace

void LogSetup::install(const LogSetupOptions &options)
{
    std::vector<spdlog::sink_ptr> sinks;
    if (!options.syslogIdent.isNull()) {
        // The system log stamps its own time, so it gets the message alone.
        sinks.push_back(std::make_shared<spdlog::sinks::syslog_sink_mt>(
            options.syslogIdent.toStdString(), LOG_PID, LOG_USER, false));
    }
    if (options.toStderr) {
        auto terminal = std::make_shared<spdlog::sinks::stderr_sink_mt>();
        terminal->set_pattern(kPattern);
        sinks.push_back(terminal);
    }
    if (!options.fileFolder.isNull() && options.naming) {
        auto files = std::make_shared<RollingFileSink>(options.fileFolder, options.naming,
                                                       options.limits, options.clock);
        files->set_pattern(kPattern);
        sinks.push_back(files);
    }
    sinks.push_back(std::make_shared<FlushBarrierSink>());

    std::lock_guard lock(setupMutex);
    auto pool = std::make_shared<spdlog::details::thread_pool>(kQueueSize, kWorkerThreads);
    auto logger = std::make_shared<spdlog::async_logger>(
        kLoggerName, sinks.begin(), sinks.end(), pool, spdlog::async_overflow_policy::block);
    logger->set_level(spdlog::level::trace);
    Log::flush();
    Log::setLogger(logger);
    // The previous pool writes out what it still holds before its worker ends.
    workerPool = std::move(pool);
}

void LogSetup::shutdown()
{
    std::lock_guard lock(setupMutex);
    Log::flush();
    Log::setLogger(nullptr);
    workerPool.reset();
}
