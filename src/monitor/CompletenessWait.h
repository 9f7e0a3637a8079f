#pragma once

// Waits for one spool PDF to be completely written. It checks at once, then every interval on a
// timer, and gives up at the first check that falls due after the time limit (so a file is checked
// at 0, 1, ..., limit / interval intervals and the wait ends one interval after the last check).
// Times are measured on a monotonic clock from the first check; wake() adds a check at once
// (the file was closed after writing) without moving the schedule. No thread is held while it
// waits. Lives on its creator's thread, which must run an event loop; exactly one of completed()
// and timedOut() is emitted, from that thread's event loop or from start() / wake().

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

class CompletenessWait : public QObject
{
    Q_OBJECT

public:
    struct Timing
    {
        std::chrono::milliseconds interval;
        std::chrono::milliseconds limit;
    };

    CompletenessWait(std::function<bool()> isComplete, Timing timing, QObject *parent = nullptr);

    // Makes the first check.
    void start();
    // Checks now, in addition to the scheduled checks.
    void wake();

    bool isFinished() const { return m_finished; }

Q_SIGNALS:
    void completed();
    void timedOut();

private:
    void onTimer();
    void checkDueTick();
    void scheduleTick();
    bool checkAndFinish();

    std::function<bool()> m_isComplete;
    Timing m_timing;
    QElapsedTimer m_clock;
    QTimer m_timer;
    // The scheduled check that is due next; check n falls due at n intervals.
    qint64 m_tick = 0;
    bool m_finished = false;
};
