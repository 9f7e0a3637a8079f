// Tarvello: the print client. A status-bar application without a main window, opened with the
// hand-off URLs of print jobs ("Tarvello vandrix://?params=..."). A launch while the client runs
// hands its URLs to the running client and ends.

#include "client/app/AppDelegate.h"
#include "client/app/ClientShutdown.h"
#include "client/network/HTTPManager.h"
#include "client/platform/Localizable.h"
#include "client/platform/UrlEventSource.h"
#include "foundation/BaseTools.h"

#include <QApplication>
#include <QEventLoop>

namespace {

constexpr auto kDesktopFileName = "com.dalvemor.vqm.client";
constexpr int kHandOverFailedStatus = 1;

UrlEventSource::Role decideRole(UrlEventSource &urlEvents, const QStringList &launchUrls)
{
    urlEvents.start(launchUrls);
    if (urlEvents.role() == UrlEventSource::Role::Undecided) {
        QEventLoop handOver;
        QObject::connect(&urlEvents, &UrlEventSource::roleDecided, &handOver, &QEventLoop::quit);
        handOver.exec();
    }
    return urlEvents.role();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(BaseTools::getVersion());
    QApplication::setDesktopFileName(QLatin1String(kDesktopFileName));
    // The login window comes and goes; the client ends only by its own decision.
    QApplication::setQuitOnLastWindowClosed(false);
    Localizable::install();

    UrlEventSource urlEvents;
    switch (decideRole(urlEvents, QCoreApplication::arguments().mid(1))) {
    case UrlEventSource::Role::Forwarded:
        return 0;
    case UrlEventSource::Role::Failed:
    case UrlEventSource::Role::Undecided:
        return kHandOverFailedStatus;
    case UrlEventSource::Role::Primary:
        break;
    }

    AppDelegate &delegate = AppDelegate::sharedInstance();
    delegate.applicationWillFinishLaunching(urlEvents);
    delegate.applicationDidFinishLaunching();
    const int status = application.exec();

    // Nothing more is acknowledged from here on: a launch knocking now takes over.
    urlEvents.close();
    delegate.applicationWillTerminate();
    return ClientShutdown::finish(status, HTTPManager::sharedClient());
}
