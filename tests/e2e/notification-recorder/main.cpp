// vqm-notification-recorder: the session's notification service for the print road's tests and
// the demo. Records every notification into the file given, shows none.
//
//   vqm-notification-recorder --record FILE
//
// Prints "vqm-notification-recorder ready" on standard output once it owns the service name on
// the session bus of DBUS_SESSION_BUS_ADDRESS; ends on SIGTERM.

#include "NotificationRecorder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <cstdio>

namespace {

constexpr int kExitBadOptions = 2;
constexpr int kExitNoService = 1;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Records the session's desktop notifications into a file."));
    parser.addHelpOption();
    parser.addOption({"record", "File the notifications are appended to.", "file"});
    parser.process(application);
    if (!parser.isSet("record")) {
        std::fprintf(stderr, "vqm-notification-recorder: --record FILE is required\n");
        return kExitBadOptions;
    }

    NotificationRecorder recorder(parser.value("record"));
    if (!recorder.open())
        return kExitNoService;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QLatin1String(NotificationRecorder::kPath), &recorder,
                            QDBusConnection::ExportScriptableSlots |
                                QDBusConnection::ExportScriptableSignals) ||
        !bus.registerService(QLatin1String(NotificationRecorder::kService))) {
        std::fprintf(stderr, "vqm-notification-recorder: cannot serve %s on the session bus: %s\n",
                     NotificationRecorder::kService, qPrintable(bus.lastError().message()));
        return kExitNoService;
    }
    std::printf("vqm-notification-recorder ready\n");
    std::fflush(stdout);
    return application.exec();
}
