#pragma once

// Picks, from a list of addresses or host names, the one that answers ICMP echo fastest on
// average: one ping run of 3 requests per listed address (duplicates get a run each), failed and
// silent addresses dropped, the lowest average of the reply times wins. No state of its own;
// each call keeps its working state until it has called its completion.
//
// The runs live on the calling thread, whose event loop must run (the main thread, usually).
// The final step and the completion run on the main thread. Progress lines go to the output.

#include "client/tools/JFPingOutput.h"

#include <QString>
#include <QStringList>

#include <functional>

class JFPingManager
{
public:
    // Receives "<address>-<average>ms" (average with two decimals), or a null text when no
    // address qualified.
    using Finished = std::function<void(const QString &fastest)>;

    static constexpr int PingCount = 3;

    // Returns at once. An empty list only prints its line; the completion is never called then.
    static void getFastestAddress(const QStringList &addressList, Finished finished,
                                  JFPingOutput output = standardOutputLines());
};
