#pragma once

// Repeats one database operation while another connection (the print backend) holds the database
// past the connection's own busy wait: the operation is tried again after a pause that grows from
// the first to the longest, for as long as the database stays busy or locked, and a warning goes
// to the log when the wait begins and then every warning interval. Any other outcome, success or
// failure, ends the wait. Blocks the calling thread (a hand-off's own pool thread, so the
// completeness waits of other jobs go on); any thread.

#include "DataBaseHelper.h"
#include "foundation/Error.h"

#include <QString>

#include <chrono>

class BusyDatabaseWait
{
public:
    struct Pauses
    {
        std::chrono::milliseconds first;
        std::chrono::milliseconds longest;
        std::chrono::milliseconds warningInterval;
    };
    static constexpr Pauses kDefaultPauses{std::chrono::milliseconds(100),
                                           std::chrono::milliseconds(1000),
                                           std::chrono::milliseconds(5000)};

    // Runs attempt (returning a Result) until it ends otherwise than busy; what names the work in
    // the warnings.
    template <typename Attempt>
    static auto run(const QString &what, Attempt attempt, Pauses pauses = kDefaultPauses)
    {
        auto outcome = attempt();
        BusyDatabaseWait wait(what, pauses);
        while (!outcome && DataBaseHelper::isBusy(outcome.error())) {
            wait.pause(outcome.error());
            outcome = attempt();
        }
        return outcome;
    }

private:
    using Clock = std::chrono::steady_clock;

    BusyDatabaseWait(QString what, Pauses pauses);
    // Warns when due, sleeps the next pause and lengthens the one after it.
    void pause(const Error &busy);

    const QString m_what;
    const Pauses m_pauses;
    std::chrono::milliseconds m_nextPause;
    const Clock::time_point m_started;
    Clock::time_point m_nextWarning;
};
