#pragma once

// The last sink of an asynchronous logger: it lets a caller wait until the logger's worker thread
// has written and flushed every entry logged before the wait began (spdlog's own flush of an
// asynchronous logger only queues the request). Its flush runs on the worker thread; waiters block
// on their own thread.

#include <spdlog/sinks/base_sink.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace spdlog {
class logger;
}

class FlushBarrierSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
    // Queues a flush of the logger and waits for it; false when the limit passed first.
    bool flushAndWait(spdlog::logger &logger, std::chrono::milliseconds limit);

protected:
    void sink_it_(const spdlog::details::log_msg &) override {}
    void flush_() override;

private:
    std::mutex m_waitersMutex; // one waiter at a time, so each flush answers its own request
    std::mutex m_stateMutex;
    std::condition_variable m_flushed;
    std::uint64_t m_completedFlushes = 0;
};
