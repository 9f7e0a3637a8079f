#pragma once

// Watches the spool folder for new job PDFs. Every step (listing, watch, completeness check) goes
// through the folder's descriptor, opened and checked once at start, never through its path.
// Every local user may add entries to the folder, so a PDF counts only when it is a file the print
// queue's backend could have published (SharedFolderFiles::isTrustedFile on the entry itself):
// anything else is never a job nor seen, and is logged once and left alone. Creating the manager
// records the PDFs already present; they are never handed off. From monitorFile() on, every change
// of the folder's entries lists it once: each PDF file not seen before becomes a job, and the
// listing becomes the seen set (a listing that fails changes nothing). A seen PDF is that file
// (its name, device and inode), so another file put at a seen name is new. A job waits until its
// file is complete and one of the backend's (CompletenessWait, woken early when the file is closed
// after writing) and is then handed off on a pool thread. A job is never started twice while its
// wait or hand-off runs; once its hand-off has consumed the file, the same id is new again.
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

    // Lists the folder and makes its PDF files the seen set (a failed listing changes nothing).
    void initScanDirectory();
    // Spool job id (name without its last extension) to name, for every name with the extension
    // "pdf" in any case; of two names with the same id the later one wins.
    static QHash<QString, QString> pdfsPathToJobDictionary(const QStringList &names);
    // Lists the folder, makes its PDF files the seen set and returns the ids of every PDF file that
    // was neither seen before nor has a job running.
    QStringList getNewFileName();
    // Whether the folder's entry of that name is a job file of the backend's (never a link) that
    // ends in 7 bytes of valid UTF-8 holding "%%EOF" (files of 7 bytes or less never are).
    static bool readFileEOF(int folder, const QString &name);

    // Every entry name of the last listing.
    QStringList filePaths() const;
    // Job id to name of the PDF files of the last listing (other users' entries left out).
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

    // One entry as it was listed: which file stands at the name.
    struct EntryKey
    {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const EntryKey &) const = default;
    };
    // What a listing found: every name, and the PDF names that are job files and that are not.
    struct Listing
    {
        QStringList names;
        QHash<QString, EntryKey> jobFiles;
        QHash<QString, EntryKey> refused;
    };

    void endUnwatched();
    std::optional<Listing> scan();
    void reportRefused(const QHash<QString, EntryKey> &refused);
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
    // The PDF files seen, by name, and the other users' entries already logged; on the manager's
    // thread only.
    QHash<QString, EntryKey> m_seenFiles;
    QHash<QString, EntryKey> m_reportedRefused;

    QHash<QString, CompletenessWait *> m_waits;
    QSet<QString> m_handoffsRunning;
    SpoolFolderWatcher *m_watcher = nullptr;
    QThreadPool *const m_handoffPool;
};
