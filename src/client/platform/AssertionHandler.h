#pragma once

// Stands in for the platform's assertion handler: a violated precondition (a missing value passed
// where one is required) is reported on the process log with its message, the function, the source
// file and the line. The process goes on; the caller refuses the call itself. Any thread.

#include <source_location>

class AssertionHandler
{
public:
    static void handleFailure(const char *message,
                              std::source_location where = std::source_location::current());
};
