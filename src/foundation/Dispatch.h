#pragma once

// The "queues" of the system on Qt: the main queue is the event loop of the application's main
// thread, the global queue is the global thread pool.

#include <functional>

// Runs the function on the main thread's event loop, after the events already queued.
void dispatchMain(std::function<void()> work);

// Runs the function on the main thread's event loop after the given delay in milliseconds.
void dispatchMainAfter(int milliseconds, std::function<void()> work);

// Runs the function on a thread of the global pool.
void dispatchGlobal(std::function<void()> work);
