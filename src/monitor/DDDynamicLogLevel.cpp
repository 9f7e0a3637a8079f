#include "DDDynamicLogLevel.h"

#include <atomic>

namespace {
std::atomic<unsigned> logLevel{DDDynamicLogLevel::kAllFlags};
}

unsigned DDDynamicLogLevel::ddLogLevel()
{
    return logLevel.load();
}

void DDDynamicLogLevel::ddSetLogLevel(unsigned level)
{
    logLevel.store(level);
}
