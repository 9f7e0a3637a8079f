// vqmmonitor: watches the spool folder and hands every new print job to the client. No options,
// no configuration: the folders and limits are fixed.

#include "monitor/HandlerService.h"
#include "monitor/MonitorStartup.h"
#include "monitor/platform/GioSchemeHandlerRegistry.h"

#include <QCoreApplication>

#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);

    GioSchemeHandlerRegistry registry;
    return MonitorStartup::runProcess(
        MonitorStartup::Options{},
        [&registry](const CheckedFolder &spoolFolder, const CheckedFolder &copyFolder) {
            const auto handler =
                std::make_shared<HandlerService>(spoolFolder, copyFolder, registry);
            return [handler](const QString &jobId) { handler->senderMessageWithJobId(jobId); };
        });
}
