// A launch of its own for the hand-over tests: url_event_probe <folder> <hold|reply> [URL...].
// It prints its role ("primary", "forwarded", "failed"). As the running instance it prints
// "url <URL>" for every URL that reaches it and either replies at once ("reply") or never
// ("hold"); it ends (closing its part, as an ending client does) when its standard input closes.
// A forwarded launch exits with 0, a failed one with 2.

#include "client/platform/UrlEventSource.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>

#include <unistd.h>

namespace {

constexpr int kFailedStatus = 2;
constexpr int kUsageStatus = 64;
constexpr int kStandardInput = 0;

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3)
        return kUsageStatus;
    const bool replies = arguments.at(2) == QLatin1String("reply");

    UrlEventSource::Options options;
    options.folder = arguments.at(1);
    UrlEventSource source(options);
    source.setHandler([replies](const QString &url, const UrlEventSource::Reply &reply) {
        say(QStringLiteral("url ") + url);
        if (replies)
            reply();
    });

    QSocketNotifier input(kStandardInput, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&] {
        char buffer[256];
        if (::read(kStandardInput, buffer, sizeof buffer) <= 0) {
            source.close();
            QCoreApplication::exit(0);
        }
    });

    QObject::connect(&source, &UrlEventSource::roleDecided, &application,
                     [](UrlEventSource::Role role) {
                         if (role == UrlEventSource::Role::Forwarded) {
                             say(QStringLiteral("forwarded"));
                             QCoreApplication::exit(0);
                         } else if (role == UrlEventSource::Role::Failed) {
                             say(QStringLiteral("failed"));
                             QCoreApplication::exit(kFailedStatus);
                         } else {
                             say(QStringLiteral("primary"));
                         }
                     });
    source.start(arguments.mid(3));
    return application.exec();
}
