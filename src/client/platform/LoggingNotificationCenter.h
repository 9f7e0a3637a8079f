#pragma once

// The last resort for notifications when the session offers no place to show them: each one
// becomes a log statement, so that nothing the user should have seen is lost. Any thread.

#include "UserNotificationCenter.h"

class LoggingNotificationCenter : public UserNotificationCenter
{
public:
    void deliver(const QString &title, const QString &subtitle, const QString &body) override;
    // A log keeps what it was given.
    void removeDelivered() override {}
};
