// vqmmonitor: watches the spool folder and hands every new print job to the client. No options,
// no configuration: the folders and limits are fixed.

#include "monitor/HandlerService.h"
#include "monitor/MonitorDefaults.h"
#include "monitor/MonitorStartup.h"
#include "monitor/platform/GioSchemeHandlerRegistry.h"

#include "foundation/Dispatch.h"
#include "foundation/logging/LogSetup.h"

#include <QCoreApplication>
#include <QThreadPool>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);

    GioSchemeHandlerRegistry registry;
    HandlerService handler(QLatin1String(MonitorDefaults::kSpoolFolder),
                           QLatin1String(MonitorDefaults::kCopyFolder), registry);
    MonitorStartup startup(
        MonitorStartup::Options{},
        [&handler](const QString &jobId) { handler.senderMessageWithJobId(jobId); },
        [](int status) { QCoreApplication::exit(status); }, application.thread());

    dispatchGlobal([&startup] { startup.run(); });
    // Runs for good; it returns only when the spool folder cannot be watched.
    const int status = application.exec();
    QThreadPool::globalInstance()->waitForDone();
    LogSetup::shutdown();
    return status;
}
