#pragma once

// Qt's coarse timers move their end by up to 5 % of the interval, to gather wake-ups on shared
// boundaries of the monotonic clock; depending on where the end falls, the timer fires late or
// early. Measured with Qt 6.4 for intervals of 1 to 3 s: an end that falls 175 to 225 ms after a
// half second comes about 5 % early. A test that starts a timer at that phase turns the chance
// into a certainty, so that "not before the interval" (measured with QElapsedTimer, on the same
// clock) fails for a coarse timer and holds for a precise one.

#include <chrono>
#include <thread>

namespace CoarseTimerPhase {

// Waits, at most about half a second, until a timer of the given interval started now would end
// at that phase.
inline void waitToStart(std::chrono::milliseconds interval)
{
    using namespace std::chrono;
    constexpr int kMaxPolls = 10000;
    constexpr auto kPollPause = 100us;
    constexpr auto kBoundary = 500ms;
    constexpr auto kEarliestEnd = 175ms;
    constexpr auto kLatestEnd = 225ms;
    for (int i = 0; i < kMaxPolls; ++i) {
        const auto end = steady_clock::now().time_since_epoch() + interval;
        const auto afterBoundary = end % kBoundary;
        if (afterBoundary >= kEarliestEnd && afterBoundary < kLatestEnd)
            return;
        std::this_thread::sleep_for(kPollPause);
    }
}

} // namespace CoarseTimerPhase
