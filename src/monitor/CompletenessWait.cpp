#include "CompletenessWait.h"

#include <algorithm>

CompletenessWait::CompletenessWait(std::function<bool()> isComplete, Timing timing, QObject *parent)
    : QObject(parent)
    , m_isComplete(std::move(isComplete))
    , m_timing(timing)
{
    // Coarse timers may fire early; the schedule must never run ahead of the clock.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CompletenessWait::onTimer);
}

void CompletenessWait::start()
{
    m_clock.start();
    m_tick = 0;
    checkDueTick();
}

void CompletenessWait::wake()
{
    if (!m_finished && m_clock.isValid())
        checkAndFinish();
}

void CompletenessWait::onTimer()
{
    const qint64 due = m_tick * m_timing.interval.count();
    if (m_clock.elapsed() < due) {
        scheduleTick();
        return;
    }
    checkDueTick();
}

void CompletenessWait::checkDueTick()
{
    if (m_finished)
        return;
    const auto waited = m_tick * m_timing.interval;
    if (waited > m_timing.limit) {
        m_finished = true;
        Q_EMIT timedOut();
        return;
    }
    if (checkAndFinish())
        return;
    ++m_tick;
    scheduleTick();
}

void CompletenessWait::scheduleTick()
{
    const qint64 due = m_tick * m_timing.interval.count();
    m_timer.start(int(std::max<qint64>(0, due - m_clock.elapsed())));
}

bool CompletenessWait::checkAndFinish()
{
    if (!m_isComplete())
        return false;
    m_finished = true;
    m_timer.stop();
    Q_EMIT completed();
    return true;
}
