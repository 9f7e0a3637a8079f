#include "PrivateCups.h"

#include "Polling.h"
#include "RoadFiles.h"
#include "Tool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <memory>
#include <vector>

namespace {

constexpr auto kErrorDomain = "e2e.cups";
constexpr int kClientLimitMs = 30000;

Error cupsError(const QString &description)
{
    return Error{QString::fromLatin1(kErrorDomain), 1, description};
}

} // namespace

PrivateCups::PrivateCups(QString folder)
    : m_folder(std::move(folder))
    , m_daemon(QStringLiteral("cupsd"), m_folder + QStringLiteral("/cupsd.out"))
{}

QString PrivateCups::path(const QString &name) const
{
    return m_folder + u'/' + name;
}

QString PrivateCups::socketPath() const
{
    return path(QStringLiteral("cups.sock"));
}

Result<Done> PrivateCups::writeConfiguration() const
{
    for (const char *name : {"etc", "state", "spool", "cache", "tmp", "log"}) {
        if (!QDir().mkpath(path(QLatin1String(name))))
            return cupsError(QStringLiteral("cannot create %1").arg(path(QLatin1String(name))));
    }
    // Files and folders of the machine's server; ServerBin stays the machine's, whose backend
    // folder the road fills.
    const QString files = QStringLiteral("ServerRoot %1\n"
                                         "StateDir %2\n"
                                         "RequestRoot %3\n"
                                         "CacheDir %4\n"
                                         "TempDir %5\n"
                                         "ErrorLog %6/error_log\n"
                                         "AccessLog %6/access_log\n"
                                         "PageLog %6/page_log\n"
                                         "Printcap %7\n"
                                         "SystemGroup root\n")
                              .arg(path("etc"), path("state"), path("spool"), path("cache"),
                                   path("tmp"), path("log"), path("printcap"));
    // Only root reaches the socket (its folder is root's alone), so no request needs a login.
    const QString daemon = QStringLiteral("LogLevel info\n"
                                          "Listen %1\n"
                                          "Browsing No\n"
                                          "WebInterface No\n"
                                          "DefaultAuthType None\n"
                                          "PassEnv ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS\n"
                                          "<Location />\n"
                                          "  Order allow,deny\n"
                                          "  Allow all\n"
                                          "</Location>\n"
                                          "<Policy default>\n"
                                          "  <Limit All>\n"
                                          "    Order deny,allow\n"
                                          "  </Limit>\n"
                                          "</Policy>\n")
                               .arg(socketPath());
    if (!RoadFiles::writeText(path("etc/cups-files.conf"), files) ||
        !RoadFiles::writeText(path("etc/cupsd.conf"), daemon))
        return cupsError(QStringLiteral("cannot write the configuration in %1").arg(path("etc")));
    return Done{};
}

Result<Done> PrivateCups::start(std::chrono::milliseconds limit)
{
    if (auto written = writeConfiguration(); !written)
        return written;
    auto started =
        m_daemon.start(QStringLiteral("cupsd"),
                       {QStringLiteral("-f"), QStringLiteral("-c"), path("etc/cupsd.conf"),
                        QStringLiteral("-s"), path("etc/cups-files.conf")},
                       QProcessEnvironment::systemEnvironment());
    if (!started)
        return started;
    const bool ready = Polling::until(
        [this] { return !m_daemon.isRunning() || (QFileInfo::exists(socketPath()) && answers()); },
        limit);
    if (!ready || !m_daemon.isRunning())
        return cupsError(QStringLiteral("cupsd did not start answering on %1; %2\n%3")
                             .arg(socketPath(), m_daemon.logTail(), errorLogTail()));
    return Done{};
}

void PrivateCups::stop()
{
    m_daemon.stop();
}

bool PrivateCups::answers() const
{
    const Result<QByteArray> status =
        Tool::run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, clientEnvironment());
    return status && status->contains("scheduler is running");
}

Result<Done> PrivateCups::addQueue(const QString &addPrinterScript, const QString &ppd) const
{
    const Result<QByteArray> added =
        Tool::run(QStringLiteral("/bin/bash"), {addPrinterScript, QStringLiteral("--ppd"), ppd},
                  clientEnvironment());
    if (!added)
        return added.error();
    return Done{};
}

Result<QStringList> PrivateCups::print(const QList<PrintRequest> &requests) const
{
    std::vector<std::unique_ptr<QProcess>> printers;
    for (const PrintRequest &request : requests) {
        auto lp = std::make_unique<QProcess>();
        lp->setProcessEnvironment(clientEnvironment());
        lp->setProcessChannelMode(QProcess::MergedChannels);
        lp->start(QStringLiteral("lp"),
                  {QStringLiteral("-d"), QLatin1String(kQueue), QStringLiteral("-t"), request.title,
                   QStringLiteral("-n"), QString::number(request.copies), QStringLiteral("-o"),
                   QStringLiteral("media=") + request.media, request.file});
        printers.push_back(std::move(lp));
    }
    static const QRegularExpression requestId(QStringLiteral("request id is (\\S+)"));
    QStringList ids;
    for (const auto &lp : printers) {
        const bool ended = lp->waitForFinished(kClientLimitMs);
        const QString output = QString::fromUtf8(lp->readAll());
        const QRegularExpressionMatch match = requestId.match(output);
        if (!ended || lp->exitCode() != 0 || !match.hasMatch())
            return cupsError(
                QStringLiteral("lp %1 failed: %2").arg(lp->arguments().join(' '), output));
        ids << match.captured(1);
    }
    return ids;
}

QProcessEnvironment PrivateCups::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CUPS_SERVER"), socketPath());
    return environment;
}

QString PrivateCups::errorLogTail() const
{
    return RoadFiles::tail(path("log/error_log"));
}
