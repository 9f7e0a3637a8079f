#include "Polling.h"

#include <QDeadlineTimer>
#include <QThread>

namespace Polling {

bool until(const std::function<bool()> &condition, std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QThread::msleep(kIntervalMs);
    }
    return true;
}

} // namespace Polling
