#include "PrivateCups.h"

#include "Polling.h"
#include "RoadFiles.h"
#include "Tool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include <memory>
#include <vector>

namespace {

constexpr auto kErrorDomain = "e2e.cups";
constexpr int kClientLimitMs = 30000;
constexpr auto kIppLimitSeconds = "30";

// ipptool requests, each asking for the attributes the road reads; $uri is the URI ipptool is
// given.
struct IppRequest
{
    const char *fileName;
    const char *text;
};
constexpr IppRequest kJobRequest{"job.test",
                                 "{\n"
                                 "  NAME \"job attributes\"\n"
                                 "  OPERATION Get-Job-Attributes\n"
                                 "  GROUP operation-attributes-tag\n"
                                 "  ATTR charset attributes-charset utf-8\n"
                                 "  ATTR naturalLanguage attributes-natural-language en\n"
                                 "  ATTR uri job-uri $uri\n"
                                 "  ATTR keyword requested-attributes "
                                 "job-state,job-state-reasons,job-printer-state-message\n"
                                 "  STATUS successful-ok\n"
                                 "}\n"};
constexpr IppRequest kQueueRequest{"queue.test",
                                   "{\n"
                                   "  NAME \"queue attributes\"\n"
                                   "  OPERATION Get-Printer-Attributes\n"
                                   "  GROUP operation-attributes-tag\n"
                                   "  ATTR charset attributes-charset utf-8\n"
                                   "  ATTR naturalLanguage attributes-natural-language en\n"
                                   "  ATTR uri printer-uri $uri\n"
                                   "  ATTR keyword requested-attributes "
                                   "printer-state,printer-state-reasons,printer-is-accepting-jobs\n"
                                   "  STATUS successful-ok\n"
                                   "}\n"};

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
    for (const char *name : {"etc", "state", "spool", "cache", "log", "ipp"}) {
        if (!QDir().mkpath(path(QLatin1String(name))))
            return cupsError(QStringLiteral("cannot create %1").arg(path(QLatin1String(name))));
    }
    // Files and folders of its own. ServerBin stays the machine's: its filters (cups-filters'),
    // and its backend folder, which the road fills. The temporary folder is left to cupsd, which
    // makes it below the spool for the filters' user (pdftopdf keeps piped input there).
    const QString files = QStringLiteral("ServerRoot %1\n"
                                         "StateDir %2\n"
                                         "RequestRoot %3\n"
                                         "CacheDir %4\n"
                                         "ErrorLog %5/error_log\n"
                                         "AccessLog %5/access_log\n"
                                         "PageLog %5/page_log\n"
                                         "Printcap %6\n"
                                         "SystemGroup root\n")
                              .arg(path("etc"), path("state"), path("spool"), path("cache"),
                                   path("log"), path("printcap"));
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
    for (const IppRequest &request : {kJobRequest, kQueueRequest}) {
        const QString file = path(QStringLiteral("ipp/") + QLatin1String(request.fileName));
        if (!RoadFiles::writeText(file, QString::fromLatin1(request.text)))
            return cupsError(QStringLiteral("cannot write %1").arg(file));
    }
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
        QStringList arguments{QStringLiteral("-d"), QLatin1String(kQueue),
                              QStringLiteral("-t"), request.title,
                              QStringLiteral("-n"), QString::number(request.copies),
                              QStringLiteral("-o"), QStringLiteral("media=") + request.media};
        for (const QString &option : request.options)
            arguments << QStringLiteral("-o") << option;
        lp->start(QStringLiteral("lp"), arguments << request.file << request.moreFiles);
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

Result<Done> PrivateCups::cancel(qint64 jobId) const
{
    const Result<QByteArray> cancelled =
        Tool::run(QStringLiteral("cancel"), {QString::number(jobId)}, clientEnvironment());
    if (!cancelled)
        return cancelled.error();
    return Done{};
}

qint64 PrivateCups::jobIdOf(const QString &requestId)
{
    const QString prefix = QLatin1String(kQueue) + u'-';
    return requestId.startsWith(prefix) ? requestId.mid(prefix.size()).toLongLong() : 0;
}

Result<QJsonObject> PrivateCups::jobAttributes(qint64 jobId) const
{
    return attributes(kJobRequest.fileName, QStringLiteral("/jobs/%1").arg(jobId),
                      "job-attributes-tag");
}

Result<QJsonObject> PrivateCups::queueAttributes() const
{
    return attributes(kQueueRequest.fileName, QStringLiteral("/printers/") + QLatin1String(kQueue),
                      "printer-attributes-tag");
}

Result<QJsonObject> PrivateCups::attributes(const char *request, const QString &resource,
                                            const char *group) const
{
    // A host name that is a path names a local socket.
    const QString uri =
        QStringLiteral("ipp://%1%2")
            .arg(QString::fromLatin1(QUrl::toPercentEncoding(socketPath())), resource);
    const Result<QByteArray> answer =
        Tool::run(QStringLiteral("ipptool"),
                  {QStringLiteral("-j"), QStringLiteral("-T"), QLatin1String(kIppLimitSeconds), uri,
                   path(QStringLiteral("ipp/") + QLatin1String(request))});
    if (!answer)
        return answer.error();
    // One object per attribute group.
    const QJsonArray groups = QJsonDocument::fromJson(answer.value()).array();
    for (const QJsonValue &entry : groups) {
        if (entry.toObject().value(QStringLiteral("group-tag")).toString() == QLatin1String(group))
            return entry.toObject();
    }
    return cupsError(QStringLiteral("ipptool gave no %1 for %2: %3")
                         .arg(QLatin1String(group), uri, QString::fromUtf8(answer.value())));
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
