#pragma once

// Bounded waiting for the print road: what it waits for (files, logs, processes) changes outside
// this process, so it looks again at a short interval, without an event loop, until a limit.

#include <chrono>
#include <functional>

namespace Polling {

inline constexpr int kIntervalMs = 50;

// True once the condition holds; false when the limit passes first.
bool until(const std::function<bool()> &condition, std::chrono::milliseconds limit);

} // namespace Polling
