#pragma once

// The process-wide log level of the per-class level interface of the logging convention. Nothing
// in the monitor consults it; its statements are always written. Any thread.

class DDDynamicLogLevel
{
public:
    // Error, warning, info, debug and verbose.
    static constexpr unsigned kAllFlags = 31;

    static unsigned ddLogLevel();
    static void ddSetLogLevel(unsigned level);
};
