#pragma once

// The peak memory of the queue's backend while a job runs. cupsd starts the backend, not the
// benchmark, so its resource use cannot be waited for: a thread of this class reads the high-water
// mark of resident memory (VmHWM) of every running process named vqmprinter from /proc, a
// millisecond apart, until stop(). The mark only grows while a process lives, so a reading taken
// after the backend's peak and before it ends sees that peak. Started and stopped on one thread;
// the sampling runs on a thread of its own.

#include <QtGlobal>

#include <atomic>
#include <thread>

class BackendMemorySampler
{
public:
    static constexpr auto kProgramName = "vqmprinter";

    BackendMemorySampler() = default;
    ~BackendMemorySampler();
    BackendMemorySampler(const BackendMemorySampler &) = delete;
    BackendMemorySampler &operator=(const BackendMemorySampler &) = delete;

    void start();
    // The highest mark read since start(), in KiB; 0 when no backend was seen.
    qint64 stop();

private:
    void sample();

    std::atomic<bool> m_running{false};
    std::atomic<qint64> m_peakKibibytes{0};
    std::thread m_thread;
};
