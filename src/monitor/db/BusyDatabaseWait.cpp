#include "BusyDatabaseWait.h"

#include "foundation/logging/Log.h"

#include <algorithm>
#include <thread>

BusyDatabaseWait::BusyDatabaseWait(QString what, Pauses pauses)
    : m_what(std::move(what))
    , m_pauses(pauses)
    , m_nextPause(pauses.first)
    , m_started(Clock::now())
    , m_nextWarning(m_started)
{}

void BusyDatabaseWait::pause(const Error &busy)
{
    const Clock::time_point now = Clock::now();
    if (now >= m_nextWarning) {
        const auto waited = std::chrono::duration_cast<std::chrono::seconds>(now - m_started);
        Log::warning(QStringLiteral("the job database is busy, waiting to %1 (%2 s so far): %3")
                         .arg(m_what)
                         .arg(waited.count())
                         .arg(busy.description));
        m_nextWarning = now + m_pauses.warningInterval;
    }
    // sleep_for never returns early, so every pause lasts at least as written.
    std::this_thread::sleep_for(m_nextPause);
    m_nextPause = std::min(m_nextPause * 2, m_pauses.longest);
}
