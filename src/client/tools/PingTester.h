#pragma once

// Times one blocking echo exchange (Ping) with a dotted IPv4 address. No state: the class
// operation does the work and may be called from any thread, also several at once.

#include <QString>

class PingTester
{
public:
    // The process-wide instance, made on first use and never destroyed.
    static PingTester &sharedTester();

    // The time in ms that the whole exchange took, socket set-up and closing included, when the
    // address answered; 0.0 on any failure, and at once for a text that is not ASCII.
    static double Ping(const QString &address, int timeout);
};
