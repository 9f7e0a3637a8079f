#include "MonitorStartup.h"

#include "CopyFolder.h"
#include "MonitorLogFileManager.h"
#include "PRTools.h"
#include "foundation/DatePattern.h"
#include "foundation/Dispatch.h"
#include "foundation/logging/LogSetup.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QThread>
#include <QThreadPool>

#include <unistd.h>

MonitorStartup::MonitorStartup(Options options, HandoffFactory handoff,
                               MonitorFileManager::ExitFunction exitProcess, QThread *watcherThread)
    : m_options(std::move(options))
    , m_handoff(std::move(handoff))
    , m_exitProcess(std::move(exitProcess))
    , m_watcherThread(watcherThread)
    , m_lock(m_options.lockFile)
{}

MonitorStartup::~MonitorStartup() = default;

void MonitorStartup::run()
{
    waitForLock();
    Result<CheckedFolder> spool = CheckedFolder::open(m_options.spoolFolder);
    if (spool)
        PRTools::removeExpiredFilesInFolder(spool->descriptor(), m_options.spoolMaxAge);
    deleteOutOfDateLog(m_options.logFolder, m_options.logLookBack);
    initDDlog(m_options.logFolder, m_options.syslogIdent);
    if (!spool) {
        takeNoJobs(QStringLiteral("Unable to open the path = %1 (%2)")
                       .arg(m_options.spoolFolder, spool.error().description));
        return;
    }
    Result<CheckedFolder> copies = CopyFolder::make(m_options.copyFolder);
    if (!copies) {
        takeNoJobs(QStringLiteral("The copy folder %1 cannot be used (%2)")
                       .arg(m_options.copyFolder, copies.error().description));
        return;
    }
    m_spoolFolder = std::make_unique<CheckedFolder>(std::move(spool.value()));
    m_copyFolder = std::make_unique<CheckedFolder>(std::move(copies.value()));

    auto fileManager = std::make_unique<MonitorFileManager>(
        *m_spoolFolder, m_options.timing, m_handoff(*m_spoolFolder, *m_copyFolder), m_exitProcess);
    fileManager->moveToThread(m_watcherThread);
    MonitorFileManager *watcher = fileManager.get();
    m_fileManager = std::move(fileManager);
    QMetaObject::invokeMethod(watcher, &MonitorFileManager::monitorFile, Qt::QueuedConnection);
}

void MonitorStartup::takeNoJobs(const QString &reason)
{
    qInfo().noquote() << QStringLiteral("%1; this vqmmonitor (pid %2) takes no jobs.")
                             .arg(reason)
                             .arg(::getpid());
    m_exitProcess(MonitorFileManager::kUnwatchableFolderStatus);
}

int MonitorStartup::runProcess(Options options, HandoffFactory handoff)
{
    // Start-up runs on the pool and may end the process before the event loop runs: the exit is
    // queued to the loop, which an exit() made earlier would not reach.
    QCoreApplication *application = QCoreApplication::instance();
    MonitorStartup startup(
        std::move(options), std::move(handoff),
        [application](int status) {
            QMetaObject::invokeMethod(
                application, [status] { QCoreApplication::exit(status); }, Qt::QueuedConnection);
        },
        application->thread());
    dispatchGlobal([&startup] { startup.run(); });
    // Runs for good; it returns only when the spool folder cannot be watched.
    const int status = QCoreApplication::exec();
    QThreadPool::globalInstance()->waitForDone();
    LogSetup::shutdown();
    return status;
}

void MonitorStartup::waitForLock()
{
    QString lastReport;
    for (;;) {
        const MonitorLock::Attempt attempt = m_lock.tryLock();
        if (attempt.state == MonitorLock::State::Held)
            break;
        // Said again only when the reason changes (another holder, another fault).
        const QString report = waitReport(attempt);
        if (report != lastReport)
            qInfo().noquote() << report;
        lastReport = report;
        QThread::msleep(qulonglong(MonitorDefaults::kLockRetryInterval.count()));
    }
    if (!lastReport.isNull())
        qInfo().noquote() << QStringLiteral("This vqmmonitor (pid %1) holds %2 now and takes the "
                                            "jobs of %3.")
                                 .arg(QString::number(::getpid()), m_options.lockFile,
                                      m_options.spoolFolder);
}

QString MonitorStartup::waitReport(const MonitorLock::Attempt &attempt) const
{
    const QString self = QStringLiteral("this vqmmonitor (pid %1)").arg(::getpid());
    if (attempt.state == MonitorLock::State::HeldByAnother) {
        const QString holder =
            attempt.holderPid > 0
                ? QStringLiteral("Another vqmmonitor (pid %1)").arg(attempt.holderPid)
                : QStringLiteral("Another vqmmonitor");
        return QStringLiteral("%1 is watching %2; %3 takes no jobs and waits for it to end.")
            .arg(holder, m_options.spoolFolder, self);
    }
    return QStringLiteral("The monitor lock file %1 cannot be used (%2); %3 takes no jobs and "
                          "tries again every %4 ms.")
        .arg(m_options.lockFile, attempt.reason, self)
        .arg(MonitorDefaults::kLockRetryInterval.count());
}

void MonitorStartup::deleteOutOfDateLog(const QString &folder, std::chrono::seconds lookBack,
                                        const QDateTime &now)
{
    const QDate day = now.toLocalTime().addSecs(-lookBack.count()).date();
    const QDateTime cutOff(day, QTime(0, 0), Qt::LocalTime);
    const Result<CheckedFolder> logs = CheckedFolder::open(folder);
    if (!logs)
        return;
    const Result<QStringList> names = SharedFolderFiles::entryNames(logs->descriptor());
    if (!names)
        return;
    for (const QString &name : names.value()) {
        QString dateText = name;
        dateText.remove(QLatin1String(MonitorLogFileManager::kExtension));
        dateText.remove(QLatin1String(MonitorLogFileManager::kNamePrefix));
        const QDateTime date =
            DatePattern::parse(QLatin1String(MonitorLogFileManager::kDatePattern), dateText,
                               QLatin1String(kLogNameTimeZone));
        // Never a folder, and a link itself rather than what it leads to.
        if (date.isValid() && date < cutOff)
            ::unlinkat(logs->descriptor(), QFile::encodeName(name).constData(), 0);
    }
}

void MonitorStartup::initDDlog(const QString &folder, const QString &syslogIdent)
{
    LogSetupOptions options;
    options.syslogIdent = syslogIdent;
    options.toStderr = true;
    options.fileFolder = folder;
    options.naming = std::make_shared<MonitorLogFileManager>();
    options.limits.maximumNumberOfLogFiles = kMaximumLogFiles;
    options.limits.logFilesDiskQuota = kLogFilesDiskQuota;
    // Made here rather than at the first entry, so that it gets the shared mode from the start.
    if (!PRTools::isExistsAtPath(folder))
        PRTools::createDirectoryAtPath(folder);
    LogSetup::install(options);
    PRTools::setSharedMode(folder);
}
