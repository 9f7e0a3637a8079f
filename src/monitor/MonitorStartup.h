#pragma once

// What vqmmonitor does once at start, in this order: takes the machine's monitor lock, waiting as
// long as another monitor holds it (or the lock file cannot be used), then opens the spool folder
// once (a real folder of root's or this user's, never a link), deletes expired spool PDFs in it,
// deletes old log files, sets up logging (standard error, system log, rolling files in the log
// folder), opens the copy folder under the same rule (making it when missing), and creates the
// spool watcher on the opened spool folder, which records the PDFs present then and starts
// watching on the watcher's thread. When either folder is refused, the monitor takes no jobs: it
// says why in one line on standard error (the journal) and calls the exit function with
// MonitorFileManager::kUnwatchableFolderStatus. Only the monitor that holds the lock touches the
// spool tree; one that waits says why on standard error (the journal) and ends only when the
// process is stopped. run() may be called on any thread and returns once the watcher is made; the
// watcher thread must run an event loop. The lock is held as long as the object lives.

#include "CheckedFolder.h"
#include "CompletenessWait.h"
#include "MonitorDefaults.h"
#include "MonitorFileManager.h"
#include "MonitorLock.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QThread;

class MonitorStartup
{
public:
    // The file logger keeps at most this many files of at most this total size.
    static constexpr int kMaximumLogFiles = 7;
    static constexpr qint64 kLogFilesDiskQuota = 20971520;
    // The zone in which the log purge reads the dates of file names.
    static constexpr auto kLogNameTimeZone = "GMT+0800";

    struct Options
    {
        QString spoolFolder = QLatin1String(MonitorDefaults::kSpoolFolder);
        QString logFolder = QLatin1String(MonitorDefaults::kLogFolder);
        QString lockFile = QLatin1String(MonitorDefaults::kLockFile);
        QString copyFolder = QLatin1String(MonitorDefaults::kCopyFolder);
        std::chrono::seconds spoolMaxAge = MonitorDefaults::kSpoolMaxAge;
        std::chrono::seconds logLookBack = MonitorDefaults::kLogLookBack;
        CompletenessWait::Timing timing = MonitorFileManager::kDefaultTiming;
        // A null ident writes nothing to the system log.
        QString syslogIdent = QLatin1String(MonitorDefaults::kSyslogIdent);
    };

    // Makes the hand-off of the jobs once both folders are open; the folders outlive it.
    using HandoffFactory = std::function<MonitorFileManager::JobHandoff(
        const CheckedFolder &spoolFolder, const CheckedFolder &copyFolder)>;

    MonitorStartup(Options options, HandoffFactory handoff,
                   MonitorFileManager::ExitFunction exitProcess, QThread *watcherThread);
    ~MonitorStartup();

    void run();

    // The life of a monitor process, on the main thread of its application: start-up on the
    // global pool, the watcher on the main thread, until the watch is lost. Returns the process's
    // exit status once the hand-offs running then have ended and the log is written out.
    static int runProcess(Options options, HandoffFactory handoff);

    // The watcher, once run() has created it.
    MonitorFileManager *fileManager() const { return m_fileManager.get(); }

    // Deletes the files of the folder (a real folder of root's or this user's, never a link; the
    // removals go through its descriptor) whose name, without every ".log" and "Monitor_", is a
    // date in the log-name pattern that, read as midnight at +08:00, lies before local midnight of
    // the day lookBack before now.
    static void deleteOutOfDateLog(const QString &folder,
                                   std::chrono::seconds lookBack = MonitorDefaults::kLogLookBack,
                                   const QDateTime &now = QDateTime::currentDateTime());

    // Installs the logger, creating the log folder when missing, and gives the folder the shared
    // mode.
    static void
    initDDlog(const QString &folder,
              const QString &syslogIdent = QLatin1String(MonitorDefaults::kSyslogIdent));

private:
    void waitForLock();
    QString waitReport(const MonitorLock::Attempt &attempt) const;
    void takeNoJobs(const QString &reason);

    const Options m_options;
    const HandoffFactory m_handoff;
    const MonitorFileManager::ExitFunction m_exitProcess;
    QThread *const m_watcherThread;
    MonitorLock m_lock;
    std::unique_ptr<CheckedFolder> m_spoolFolder;
    std::unique_ptr<CheckedFolder> m_copyFolder;
    std::unique_ptr<MonitorFileManager> m_fileManager;
};
