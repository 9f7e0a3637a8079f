#pragma once

// Runs the event loop until a coroutine task has finished, within a time limit, and hands back
// its result (nullopt when the limit passed first).

#include "support/TestSupport.h"

#include <qcoro/qcorotask.h>

#include <chrono>
#include <memory>
#include <optional>

namespace TaskWaiter {

template <typename T>
QCoro::Task<> storeResult(QCoro::Task<T> task, std::shared_ptr<std::optional<T>> result)
{
    T value = co_await std::move(task);
    *result = std::move(value);
}

template <typename T>
std::optional<T> finish(QCoro::Task<T> task,
                        std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    auto result = std::make_shared<std::optional<T>>();
    storeResult(std::move(task), result);
    TestSupport::waitUntil([&result] { return result->has_value(); }, limit);
    return *result;
}

} // namespace TaskWaiter
