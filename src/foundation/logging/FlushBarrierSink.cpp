#include "FlushBarrierSink.h"

#include <spdlog/logger.h>

bool FlushBarrierSink::flushAndWait(spdlog::logger &logger, std::chrono::milliseconds limit)
{
    std::lock_guard waiters(m_waitersMutex);
    std::uint64_t before = 0;
    {
        std::lock_guard state(m_stateMutex);
        before = m_completedFlushes;
    }
    logger.flush();
    std::unique_lock state(m_stateMutex);
    return m_flushed.wait_for(state, limit, [&] { return m_completedFlushes > before; });
}

void FlushBarrierSink::flush_()
{
    {
        std::lock_guard state(m_stateMutex);
        ++m_completedFlushes;
    }
    m_flushed.notify_all();
}
