#include "ClientShutdown.h"

#include "client/network/FtpExchange.h"
#include "client/network/HTTPManager.h"
#include "foundation/logging/Log.h"
#include "foundation/logging/LogSetup.h"

#include <cstdlib>

int ClientShutdown::finish(int status, HTTPManager &http)
{
    const bool drained = abortInFlightWork(http);
    if (!drained)
        Log::client(QStringLiteral("!!work still running at the end is left behind"));
    LogSetup::shutdown();
    if (!drained)
        std::_Exit(status);
    return status;
}

bool ClientShutdown::abortInFlightWork(HTTPManager &http, QThreadPool &pool,
                                       std::chrono::milliseconds drainLimit)
{
    FtpExchange::abortAll();
    http.abortAllRequests();
    return pool.waitForDone(int(drainLimit.count()));
}
