#pragma once

// Runs one step of a job in a child process of its own, so that a cancel ends it at once whatever
// the step is doing (qpdf copies a large stream in one go, without a point where it could look at
// the cancel), and so that a step that dies on the bytes it was given ends only the child. The
// child inherits the descriptors and works on the same files; its result comes back over a pipe.
// The calling thread waits, checking the cancel every kCancelCheckInterval; on a cancel the child
// is killed and reaped before run() returns, so nothing of it outlives the call.

#include "foundation/Error.h"

#include <chrono>
#include <functional>

class ChildProcessStep
{
public:
    static constexpr std::chrono::milliseconds kCancelCheckInterval{100};

    // The step's result; DescriptorBytes::cancelled() after a cancel; a refusal of
    // CompletePdfCheck::kRefusalDomain when the child died without one.
    static Result<Done> run(const std::function<Result<Done>()> &step,
                            const std::function<bool()> &isCancelled);
};
