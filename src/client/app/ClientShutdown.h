#pragma once

// The client's end, once its event loop has returned (the quit item, the idle exit or the
// system's quit): work still in flight is aborted instead of waited for, so that the process ends
// within a couple of seconds even while a server hangs. Every FTP exchange and HTTP request is
// aborted, the global pool is given a bounded time for the threads that were blocked in them, and
// the log is flushed. Should a thread still be blocked after that, the process ends at once: the
// global pool's own destructor would wait for it without limit.
//
// Main thread, after the event loop; nothing of the client runs afterwards.

#include <QThreadPool>

#include <chrono>

class HTTPManager;

class ClientShutdown
{
public:
    // An aborted FTP exchange returns within about a second (libcurl's progress callback).
    static constexpr std::chrono::milliseconds kPoolDrainLimit{1500};

    // The whole end: returns the status to leave main() with, or ends the process with it.
    static int finish(int status, HTTPManager &http);

    // Aborts every FTP exchange (for good) and every HTTP request in flight, then waits at most
    // the limit for the pool's threads; whether they all ended.
    static bool abortInFlightWork(HTTPManager &http,
                                  QThreadPool &pool = *QThreadPool::globalInstance(),
                                  std::chrono::milliseconds drainLimit = kPoolDrainLimit);
};
