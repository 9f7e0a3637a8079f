// vqmmonitor: watches the spool folder and hands every new print job to the client. No options,
// no configuration: the folders and limits are fixed.

#include "monitor/HandlerService.h"
#include "monitor/MonitorDefaults.h"
#include "monitor/MonitorStartup.h"
#include "monitor/platform/GioSchemeHandlerRegistry.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);

    GioSchemeHandlerRegistry registry;
    HandlerService handler(QLatin1String(MonitorDefaults::kSpoolFolder),
                           QLatin1String(MonitorDefaults::kCopyFolder), registry);
    return MonitorStartup::runProcess(MonitorStartup::Options{}, [&handler](const QString &jobId) {
        handler.senderMessageWithJobId(jobId);
    });
}
