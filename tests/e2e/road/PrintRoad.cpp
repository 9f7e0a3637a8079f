#include "PrintRoad.h"

#include "Polling.h"
#include "PrivateRoadCheck.h"
#include "RoadFiles.h"
#include "Tool.h"

#include "foundation/JobDatabase.h"
#include "foundation/SpoolLayout.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSettings>

#include <csignal>

namespace {

constexpr auto kErrorDomain = "e2e.road";
constexpr std::chrono::seconds kStartLimit{20};
constexpr std::chrono::seconds kClientEndLimit{5};
constexpr int kDatabaseBusyLimitMs = 5000;
constexpr auto kBackendComponent = "backend";
constexpr auto kPpdName = "Tarvello.ppd";
constexpr auto kDesktopEntryName = "com.dalvemor.vqm.client.desktop";
// Printed by the monitor once it watches the spool folder.
constexpr auto kMonitorReady = "version is ";

Error roadError(const QString &description)
{
    return Error{QString::fromLatin1(kErrorDomain), 1, description};
}

QString fromBuild(const char *value)
{
    return QString::fromUtf8(value);
}

// The processes of this (private) process namespace that run the program.
QList<qint64> processesRunning(const QString &program)
{
    const QString wanted = QFileInfo(program).canonicalFilePath();
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        // A process that has ended (a zombie included) has no program any more.
        if (numeric && QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)) == wanted)
            found << pid;
    }
    return found;
}

} // namespace

const ServiceSimProcess::Account PrintRoad::kAccount{QStringLiteral("E2E"), QStringLiteral("alice"),
                                                     QStringLiteral("road-secret")};

PrintRoad::Programs PrintRoad::Programs::ofThisBuild()
{
    const QString source = fromBuild(VQM_E2E_SOURCE_DIR);
    return Programs{
        .cmake = fromBuild(VQM_E2E_CMAKE),
        .buildDir = fromBuild(VQM_E2E_BUILD_DIR),
        .monitor = fromBuild(VQM_E2E_MONITOR),
        .client = fromBuild(VQM_E2E_CLIENT),
        .simulator = fromBuild(VQM_E2E_SIMULATOR),
        .notificationRecorder = fromBuild(VQM_E2E_RECORDER),
        .addPrinterScript = source + QStringLiteral("/scripts/add-printer"),
        .desktopEntry =
            source + QStringLiteral("/packaging/desktop/") + QLatin1String(kDesktopEntryName),
        .ppdFolder = fromBuild(VQM_E2E_PPD_DIR),
        .iniFile = fromBuild(VQM_E2E_INI_FILE),
        .privateRoadScript = source + QStringLiteral("/tests/e2e/private-road"),
        .shadowedFolders = fromBuild(VQM_E2E_SHADOWED).split(u':', Qt::SkipEmptyParts),
    };
}

PrintRoad::PrintRoad(Programs programs)
    : m_programs(std::move(programs))
{}

PrintRoad::~PrintRoad()
{
    stop();
}

QString PrintRoad::workPath(const QString &name) const
{
    return m_work.filePath(name);
}

Result<Done> PrintRoad::start(const std::function<Result<Done>()> &beforeMonitorStarts)
{
    if (auto isolated = PrivateRoadCheck::verify(m_programs.shadowedFolders); !isolated)
        return isolated;
    if (!m_work.isValid())
        return roadError(QStringLiteral("cannot create the road's folder"));
    // cupsd runs the backend as its unprivileged user, who must reach the job files in the
    // private server's spool below this folder.
    QFile::setPermissions(m_work.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                             QFile::ExeOther);
    for (const char *name : {"cups", "sim", "session", "home", "config", "data/applications",
                             "data-dirs", "cache", "runtime", "logs", "published"}) {
        if (!QDir().mkpath(workPath(QLatin1String(name))))
            return roadError(QStringLiteral("cannot create %1").arg(workPath(QLatin1String(name))));
    }
    QFile::setPermissions(workPath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    if (auto installed = installBackend(); !installed)
        return installed;
    m_capture = std::make_unique<PublishedPdfCapture>(QLatin1String(SpoolLayout::kPdfFolder),
                                                      workPath(QStringLiteral("published")));
    if (auto capturing = m_capture->start(); !capturing)
        return capturing;
    m_cups = std::make_unique<PrivateCups>(workPath(QStringLiteral("cups")));
    if (auto started = m_cups->start(kStartLimit); !started)
        return started;
    const QString ppd =
        workPath(QStringLiteral("stage")) + m_programs.ppdFolder + u'/' + QLatin1String(kPpdName);
    if (auto added = m_cups->addQueue(m_programs.addPrinterScript, ppd); !added)
        return added;

    m_simulator =
        std::make_unique<ServiceSimProcess>(m_programs.simulator, workPath(QStringLiteral("sim")));
    if (auto started = m_simulator->start(kAccount, kStartLimit); !started)
        return started;
    for (auto step :
         {&PrintRoad::writeIniFile, &PrintRoad::writeUserSettings, &PrintRoad::writeDesktopEntry}) {
        if (auto written = (this->*step)(); !written)
            return written;
    }

    m_session = std::make_unique<NotificationSession>(m_programs.notificationRecorder,
                                                      workPath(QStringLiteral("session")));
    if (auto started = m_session->start(kStartLimit); !started)
        return started;
    if (beforeMonitorStarts) {
        if (auto prepared = beforeMonitorStarts(); !prepared)
            return prepared;
    }
    return startMonitor();
}

Result<Done> PrintRoad::installBackend()
{
    // Staged, so that nothing lands outside the folders this namespace has made its own.
    const QString stage = workPath(QStringLiteral("stage"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DESTDIR"), stage);
    if (auto installed =
            Tool::run(m_programs.cmake,
                      {QStringLiteral("--install"), m_programs.buildDir,
                       QStringLiteral("--component"), QLatin1String(kBackendComponent)},
                      environment);
        !installed)
        return installed.error();
    for (const QString &folder : std::as_const(m_programs.shadowedFolders)) {
        if (!QFileInfo::exists(stage + folder))
            continue;
        // "cp -a" keeps the modes the installation gave (the backend's 0755, the spool root's 1777
        // and its folders' 0777).
        if (auto copied =
                Tool::run(QStringLiteral("cp"),
                          {QStringLiteral("-a"), stage + folder + QStringLiteral("/."), folder});
            !copied)
            return copied.error();
    }
    return Done{};
}

Result<Done> PrintRoad::writeIniFile() const
{
    const QString ini = QStringLiteral("PrinterName=%1\n"
                                       "ServiceIP=127.0.0.1\n"
                                       "ServicePort=%2\n"
                                       "EnableHttps=0\n"
                                       "EntKey=\n"
                                       "FTPName=\n"
                                       "NeedQrcode=0\n")
                            .arg(QLatin1String(PrivateCups::kQueue))
                            .arg(m_simulator->httpPort());
    if (!RoadFiles::writeText(m_programs.iniFile, ini))
        return roadError(QStringLiteral("cannot write %1").arg(m_programs.iniFile));
    return Done{};
}

Result<Done> PrintRoad::writeUserSettings() const
{
    // A user who saved the account in an earlier run: the client logs in without a window.
    QSettings settings(workPath(QStringLiteral("config/Tarvello/default.ini")),
                       QSettings::IniFormat);
    settings.setValue(QStringLiteral("entKey"), kAccount.entKey);
    settings.setValue(QStringLiteral("userName"), kAccount.userName);
    settings.setValue(QStringLiteral("userPassword"), kAccount.password);
    settings.setValue(QStringLiteral("isSaveAccount"), true);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return roadError(QStringLiteral("cannot write %1").arg(settings.fileName()));
    return Done{};
}

Result<Done> PrintRoad::writeDesktopEntry() const
{
    QFile source(m_programs.desktopEntry);
    if (!source.open(QIODevice::ReadOnly))
        return roadError(QStringLiteral("cannot read %1").arg(m_programs.desktopEntry));
    // The installed entry starts the installed client; this one starts the client of this build.
    QString entry = QString::fromUtf8(source.readAll());
    static const QRegularExpression exec(QStringLiteral("^Exec=.*$"),
                                         QRegularExpression::MultilineOption);
    entry.replace(exec, QStringLiteral("Exec=\"%1\" %u").arg(m_programs.client));
    const QString target =
        workPath(QStringLiteral("data/applications/")) + QLatin1String(kDesktopEntryName);
    if (!RoadFiles::writeText(target, entry))
        return roadError(QStringLiteral("cannot write %1").arg(target));
    return Done{};
}

QProcessEnvironment PrintRoad::sessionEnvironment() const
{
    // A session of its own: nothing of the caller's desktop, settings or display.
    QProcessEnvironment environment;
    const QProcessEnvironment caller = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (caller.contains(QLatin1String(name)))
            environment.insert(QLatin1String(name), caller.value(QLatin1String(name)));
    }
    const std::initializer_list<std::pair<const char *, const char *>> folders = {
        {"HOME", "home"},
        {"XDG_CONFIG_HOME", "config"},
        {"XDG_DATA_HOME", "data"},
        {"XDG_DATA_DIRS", "data-dirs"},
        {"XDG_CACHE_HOME", "cache"},
        {"XDG_RUNTIME_DIR", "runtime"}};
    for (const auto &[name, folder] : folders)
        environment.insert(QLatin1String(name), workPath(QLatin1String(folder)));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_session->busAddress());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    return environment;
}

Result<Done> PrintRoad::startMonitor()
{
    // The client GIO starts inherits the monitor's environment and output.
    m_monitor = std::make_unique<ManagedProcess>(QStringLiteral("vqmmonitor (and the client)"),
                                                 workPath(QStringLiteral("logs/session.out")));
    if (auto started = m_monitor->start(m_programs.monitor, {}, sessionEnvironment()); !started)
        return started;
    const QRegularExpression ready(QRegularExpression::escape(QLatin1String(kMonitorReady)));
    if (auto line = m_monitor->waitForOutput(ready, kStartLimit); !line)
        return line.error();
    return Done{};
}

void PrintRoad::stop()
{
    if (m_monitor)
        m_monitor->stop();
    const QList<qint64> clients = processesRunning(m_programs.client);
    for (const qint64 pid : clients)
        ::kill(pid_t(pid), SIGTERM);
    Polling::until([this] { return processesRunning(m_programs.client).isEmpty(); },
                   kClientEndLimit);
    if (m_session)
        m_session->stop();
    if (m_simulator)
        m_simulator->stop();
    if (m_cups)
        m_cups->stop();
    if (m_capture)
        m_capture->stop();
}

Result<QStringList> PrintRoad::print(const QList<PrivateCups::PrintRequest> &requests)
{
    return m_cups->print(requests);
}

Result<Done> PrintRoad::waitForReports(int count, std::chrono::milliseconds limit)
{
    if (Polling::until([this, count] { return reports().size() >= count; }, limit))
        return Done{};
    return roadError(QStringLiteral("%1 of %2 upload reports arrived within %3 s\n%4")
                         .arg(reports().size())
                         .arg(count)
                         .arg(std::chrono::duration_cast<std::chrono::seconds>(limit).count())
                         .arg(diagnostics()));
}

Result<Done> PrintRoad::waitForClientExit(std::chrono::milliseconds limit)
{
    if (Polling::until([this] { return processesRunning(m_programs.client).isEmpty(); }, limit))
        return Done{};
    return roadError(QStringLiteral("the client still runs after %1 s\n%2")
                         .arg(std::chrono::duration_cast<std::chrono::seconds>(limit).count())
                         .arg(diagnostics()));
}

QString PrintRoad::publishedCopyOf(const QString &requestId) const
{
    return m_capture->copyOf(PrivateCups::jobIdOf(requestId));
}

Result<Done> PrintRoad::cancel(const QString &requestId) const
{
    return m_cups->cancel(PrivateCups::jobIdOf(requestId));
}

Result<QJsonObject> PrintRoad::jobAttributes(const QString &requestId) const
{
    return m_cups->jobAttributes(PrivateCups::jobIdOf(requestId));
}

Result<QJsonObject> PrintRoad::waitForJobEnd(const QString &requestId,
                                             std::chrono::milliseconds limit)
{
    const qint64 jobId = PrivateCups::jobIdOf(requestId);
    // Asked at the first look.
    Result<QJsonObject> attributes{Error{}};
    const bool ended = Polling::until(
        [&] {
            attributes = m_cups->jobAttributes(jobId);
            return !attributes || attributes->value(QStringLiteral("job-state")).toInt() >=
                                      PrivateCups::kJobCanceled;
        },
        limit);
    if (!attributes)
        return attributes;
    if (!ended)
        return roadError(
            QStringLiteral("CUPS has not ended %1 within %2 s: %3\n%4")
                .arg(requestId)
                .arg(std::chrono::duration_cast<std::chrono::seconds>(limit).count())
                .arg(QString::fromUtf8(QJsonDocument(attributes.value()).toJson()), diagnostics()));
    return attributes;
}

Result<QJsonObject> PrintRoad::queueAttributes() const
{
    return m_cups->queueAttributes();
}

QStringList PrintRoad::spoolEntries() const
{
    return QDir(QLatin1String(SpoolLayout::kPdfFolder))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

Result<bool> PrintRoad::hasJobRow(const QString &requestId) const
{
    const QString path = QStringLiteral("%1/%2").arg(QLatin1String(SpoolLayout::kDatabaseFolder),
                                                     QLatin1String(JobDatabase::kFileName));
    if (!QFileInfo::exists(path))
        return false;
    try {
        SQLite::Database database(QFile::encodeName(path).toStdString(), SQLite::OPEN_READONLY,
                                  kDatabaseBusyLimitMs);
        SQLite::Statement query(database, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE job_id = ?")
                                              .arg(QLatin1String(JobDatabase::kTableName))
                                              .toStdString());
        query.bind(1, static_cast<int64_t>(PrivateCups::jobIdOf(requestId)));
        return query.executeStep() && query.getColumn(0).getInt64() > 0;
    } catch (const std::exception &failure) {
        return roadError(QStringLiteral("cannot read the job table in %1: %2")
                             .arg(path, QString::fromUtf8(failure.what())));
    }
}

QList<QJsonObject> PrintRoad::submissions() const
{
    return m_simulator->requests(QStringLiteral("addSubmitJobInfo"));
}

QList<QJsonObject> PrintRoad::reports() const
{
    return m_simulator->requests(QStringLiteral("fileFtpUploadInfo"));
}

QString PrintRoad::storedFileOf(const QJsonObject &submission) const
{
    const QJsonObject answer = submission.value(QStringLiteral("reply"))
                                   .toObject()
                                   .value(QStringLiteral("answer"))
                                   .toObject();
    const QString fileName = submission.value(QStringLiteral("members"))
                                 .toObject()
                                 .value(QStringLiteral("org_job_path"))
                                 .toString();
    return m_simulator->ftpRoot() + answer.value(QStringLiteral("dir")).toString() + fileName;
}

QStringList PrintRoad::notificationBodies() const
{
    return m_session ? m_session->bodies() : QStringList();
}

QString PrintRoad::diagnostics() const
{
    QString text;
    const auto section = [&text](const QString &title, const QString &body) {
        text += QStringLiteral("--- %1\n%2\n").arg(title, body);
    };
    if (m_monitor)
        section(QStringLiteral("monitor and client output"), m_monitor->logTail());
    const QFileInfoList clientLogs =
        QDir(QLatin1String(SpoolLayout::kClientLogFolder)).entryInfoList(QDir::Files, QDir::Time);
    if (!clientLogs.isEmpty())
        section(QStringLiteral("client log"), RoadFiles::tail(clientLogs.first().filePath()));
    if (m_simulator)
        section(QStringLiteral("simulator output"), m_simulator->logTail());
    if (m_session)
        section(QStringLiteral("session bus"), m_session->logTail());
    if (m_cups)
        section(QStringLiteral("cupsd error log"), m_cups->errorLogTail());
    if (m_capture && !m_capture->failures().isEmpty())
        section(QStringLiteral("published PDFs not kept"), m_capture->failures().join(u'\n'));
    return text;
}
