#pragma once

// Watches the spool folder for new job PDFs. Every step (listing, watch, completeness check) goes
// through the folder's descriptor, opened and checked once at start, never through its path.
// Creating the manager records the PDFs already present; they are never handed off. From
// monitorFile() on, every change of the folder's entries lists it once: each PDF not seen before
// becomes a job, and the listing becomes the seen set (a listing that fails changes nothing). A job
// waits until its file is complete (CompletenessWait, woken early when the file is closed after
// writing) and is then handed off on a pool thread. A job is never started twice while its wait or
// hand-off runs; once its hand-off has consumed the file, the same id is new again.
//
// Lives on a thread with an event loop (the main thread in the program); the folder handler and
// the waits run there, one at a time. The hand-off function runs on the manager's own pool; the
// destructor waits for hand-offs that are running.

#include "CheckedFolder.h"
#include "CompletenessWait.h"
#include "MonitorDefaults.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <functional>
#include <optional>

class SpoolFolderWatcher;

class MonitorFileManager : public QObject
{
    Q_OBJECT

public:
    using JobHandoff = std::function<void(const QString &jobId)>;
    using ExitFunction = std::function<void(int status)>;

    // The process ends with this status when the spool folder cannot be watched.
    static constexpr int kUnwatchableFolderStatus = 1;
    static constexpr CompletenessWait::Timing kDefaultTiming{MonitorDefaults::kCompletenessInterval,
                                                             MonitorDefaults::kCompletenessLimit};

    // The spool folder must outlive the manager.
    MonitorFileManager(const CheckedFolder &spoolFolder, CompletenessWait::Timing timing,
                       JobHandoff handoff, ExitFunction exitProcess, QObject *parent = nullptr);
    ~MonitorFileManager() override;

    // Starts watching the folder; when that is impossible, or later when the watch is lost (the
    // folder removed), writes "Unable to open the path = ..." to the process log
    // and calls the exit function.
    void monitorFile();

    // Lists the folder and makes the listing the seen set (a failed listing changes nothing).
    void initScanDirectory();
    // Spool job id (name without its last extension) to name, for every name with the extension
    // "pdf" in any case; of two names with the same id the later one wins.
    static QHash<QString, QString> pdfsPathToJobDictionary(const QStringList &names);
    // Lists the folder, makes the listing the seen set and returns the ids of every PDF that was
    // neither seen before nor has a job running.
    QStringList getNewFileName();
    // Whether the folder's regular file of that name (never a link) ends in 7 bytes of valid UTF-8
    // holding "%%EOF" (files of 7 bytes or less never are).
    static bool readFileEOF(int folder, const QString &name);

    QStringList filePaths() const;
    QHash<QString, QString> jobsMap() const;

private:
    struct FileIdentity
    {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 changeTimeNs = 0;
        qint64 size = 0;
        bool operator==(const FileIdentity &) const = default;
    };

    void endUnwatched();
    std::optional<QStringList> scan();
    void handleFolderEvent();
    void handleFileClosed(const QString &name);
    void startJob(const QString &jobId);
    void handOff(const QString &jobId);
    void finishJob(const QString &jobId, std::optional<FileIdentity> handedOff);
    std::optional<FileIdentity> identityOf(const QString &jobId) const;

    const CheckedFolder &m_spoolFolder;
    const CompletenessWait::Timing m_timing;
    const JobHandoff m_handoff;
    const ExitFunction m_exitProcess;

    mutable QMutex m_stateMutex;
    QStringList m_filePaths;
    QHash<QString, QString> m_jobsMap;

    QHash<QString, CompletenessWait *> m_waits;
    QSet<QString> m_handoffsRunning;
    SpoolFolderWatcher *m_watcher = nullptr;
    QThreadPool *const m_handoffPool;
};
