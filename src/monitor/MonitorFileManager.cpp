#include "MonitorFileManager.h"

#include "foundation/PdfEndRule.h"
#include "foundation/SharedFolderFiles.h"
#include "foundation/logging/Log.h"
#include "platform/SpoolFolderWatcher.h"

#include <QDebug>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The job id of a PDF name (the name without its last extension), or a null text.
QString jobIdOfPdfName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || name.mid(dot + 1).toLower() != QLatin1String(MonitorDefaults::kPdfExtension))
        return {};
    return name.left(dot);
}

// Why an entry with a PDF name is no job file, for the log.
QString whyNoJobFile(const struct stat &status)
{
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("a symbolic link");
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("a folder");
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("not a regular file");
    if (status.st_nlink != 1)
        return QStringLiteral("a file with %1 names (hard links)").arg(status.st_nlink);
    return QStringLiteral("a file of user %1").arg(status.st_uid);
}

} // namespace

MonitorFileManager::MonitorFileManager(const CheckedFolder &spoolFolder,
                                       CompletenessWait::Timing timing, JobHandoff handoff,
                                       ExitFunction exitProcess, QObject *parent)
    : QObject(parent)
    , m_spoolFolder(spoolFolder)
    , m_timing(timing)
    , m_handoff(std::move(handoff))
    , m_exitProcess(std::move(exitProcess))
    , m_handoffPool(new QThreadPool(this))
{
    initScanDirectory();
}

MonitorFileManager::~MonitorFileManager()
{
    m_handoffPool->waitForDone();
}

void MonitorFileManager::monitorFile()
{
    m_watcher = new SpoolFolderWatcher(this);
    if (!m_watcher->start(m_spoolFolder.descriptor(), m_spoolFolder.path())) {
        endUnwatched();
        return;
    }
    connect(m_watcher, &SpoolFolderWatcher::folderChanged, this,
            &MonitorFileManager::handleFolderEvent);
    connect(m_watcher, &SpoolFolderWatcher::fileClosedAfterWrite, this,
            &MonitorFileManager::handleFileClosed);
    // A folder removed (and perhaps made again) is no longer watched: end, so that the service
    // manager starts the monitor again on the folder as it is now.
    connect(m_watcher, &SpoolFolderWatcher::watchLost, this, &MonitorFileManager::endUnwatched);
    Log::info(QStringLiteral("version is %1").arg(QLatin1String(MonitorDefaults::kVersion)));
}

void MonitorFileManager::endUnwatched()
{
    qInfo().noquote() << QStringLiteral("Unable to open the path = %1").arg(m_spoolFolder.path());
    m_exitProcess(kUnwatchableFolderStatus);
}

std::optional<MonitorFileManager::Listing> MonitorFileManager::scan()
{
    const int folder = m_spoolFolder.descriptor();
    const Result<QStringList> names = SharedFolderFiles::entryNames(folder);
    if (!names)
        return std::nullopt;
    Listing listing{names.value(), {}, {}};
    QStringList jobFileNames;
    for (const QString &name : listing.names) {
        if (jobIdOfPdfName(name).isNull())
            continue;
        // Gone since the listing: nothing to see.
        const Result<SharedFolderFiles::EntryStatus> entry =
            SharedFolderFiles::entryStatus(folder, name);
        if (!entry)
            continue;
        const struct stat &status = entry->status;
        const EntryKey key{quint64(status.st_dev), quint64(status.st_ino)};
        if (SharedFolderFiles::isTrustedFile(status)) {
            listing.jobFiles.insert(name, key);
            jobFileNames.append(name);
            continue;
        }
        listing.refused.insert(name, key);
        const auto reported = m_reportedRefused.constFind(name);
        if (reported == m_reportedRefused.cend() || *reported != key)
            Log::warning(QStringLiteral("the spool entry %1 is no job of the print queue's (%2); "
                                        "left alone")
                             .arg(m_spoolFolder.filePath(name), whyNoJobFile(status)));
    }
    m_reportedRefused = listing.refused;
    m_seenFiles = listing.jobFiles;
    const QHash<QString, QString> pdfs = pdfsPathToJobDictionary(jobFileNames);
    QMutexLocker lock(&m_stateMutex);
    m_filePaths = listing.names;
    m_jobsMap = pdfs;
    return listing;
}

void MonitorFileManager::initScanDirectory()
{
    scan();
}

QHash<QString, QString> MonitorFileManager::pdfsPathToJobDictionary(const QStringList &names)
{
    QHash<QString, QString> jobs;
    for (const QString &name : names) {
        const QString jobId = jobIdOfPdfName(name);
        if (!jobId.isNull())
            jobs.insert(jobId, name);
    }
    return jobs;
}

QStringList MonitorFileManager::getNewFileName()
{
    const QHash<QString, EntryKey> seen = m_seenFiles;
    const std::optional<Listing> listing = scan();
    if (!listing)
        return {};
    QStringList newJobs;
    for (auto it = listing->jobFiles.cbegin(); it != listing->jobFiles.cend(); ++it) {
        const auto seenFile = seen.constFind(it.key());
        if (seenFile != seen.cend() && *seenFile == it.value())
            continue;
        const QString jobId = jobIdOfPdfName(it.key());
        if (!newJobs.contains(jobId) && !m_waits.contains(jobId) &&
            !m_handoffsRunning.contains(jobId))
            newJobs.append(jobId);
    }
    return newJobs;
}

bool MonitorFileManager::readFileEOF(int folder, const QString &name)
{
    // Anyone may plant a link or a FIFO at a spool name: neither is followed nor waited on. A file
    // another user put there in place of the job's is never complete.
    const Result<FileDescriptor> file = SharedFolderFiles::openRegularFile(folder, name, O_RDONLY);
    struct stat status = {};
    if (!file || ::fstat(file->get(), &status) != 0 || !SharedFolderFiles::isTrustedFile(status))
        return false;
    const Result<bool> complete = PdfEndRule::isMetBy(file->get(), status.st_size);
    return complete && complete.value();
}

QStringList MonitorFileManager::filePaths() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_filePaths;
}

QHash<QString, QString> MonitorFileManager::jobsMap() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_jobsMap;
}

void MonitorFileManager::handleFolderEvent()
{
    const QStringList jobIds = getNewFileName();
    for (const QString &jobId : jobIds)
        startJob(jobId);
}

void MonitorFileManager::handleFileClosed(const QString &name)
{
    const QString jobId = jobIdOfPdfName(name);
    if (CompletenessWait *wait = m_waits.value(jobId))
        wait->wake();
}

void MonitorFileManager::startJob(const QString &jobId)
{
    Log::info(QStringLiteral("monitor new job id : %1").arg(jobId));
    const int folder = m_spoolFolder.descriptor();
    const QString name = jobId + QLatin1String(MonitorDefaults::kPdfNameEnd);
    auto *wait =
        new CompletenessWait([folder, name] { return readFileEOF(folder, name); }, m_timing, this);
    m_waits.insert(jobId, wait);
    connect(wait, &CompletenessWait::completed, this, [this, jobId, wait] {
        m_waits.remove(jobId);
        wait->deleteLater();
        handOff(jobId);
    });
    connect(wait, &CompletenessWait::timedOut, this, [this, jobId, wait] {
        m_waits.remove(jobId);
        wait->deleteLater();
        Log::warning(QStringLiteral("monitor new job id : %1, integrity error").arg(jobId));
    });
    wait->start();
}

void MonitorFileManager::handOff(const QString &jobId)
{
    Log::info(QStringLiteral("handle message with job id : %1").arg(jobId));
    m_handoffsRunning.insert(jobId);
    const std::optional<FileIdentity> file = identityOf(jobId);
    m_handoffPool->start([this, jobId, file] {
        m_handoff(jobId);
        QMetaObject::invokeMethod(
            this, [this, jobId, file] { finishJob(jobId, file); }, Qt::QueuedConnection);
    });
}

void MonitorFileManager::finishJob(const QString &jobId, std::optional<FileIdentity> handedOff)
{
    m_handoffsRunning.remove(jobId);
    // The file the hand-off was given is still there (it could not be copied): it stays seen.
    // Otherwise a file now of that name is a new print of a re-used id, which the listings made
    // while the hand-off ran could not take; look again.
    const std::optional<FileIdentity> current = identityOf(jobId);
    if (current && current == handedOff)
        return;
    m_seenFiles.removeIf([&jobId](const QHash<QString, EntryKey>::iterator &seen) {
        return jobIdOfPdfName(seen.key()) == jobId;
    });
    {
        QMutexLocker lock(&m_stateMutex);
        m_jobsMap.remove(jobId);
    }
    if (current)
        handleFolderEvent();
}

std::optional<MonitorFileManager::FileIdentity>
MonitorFileManager::identityOf(const QString &jobId) const
{
    const QByteArray name = QFile::encodeName(jobId + QLatin1String(MonitorDefaults::kPdfNameEnd));
    struct stat status = {};
    if (::fstatat(m_spoolFolder.descriptor(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    constexpr qint64 kNanosecondsPerSecond = 1000000000;
    return FileIdentity{quint64(status.st_dev), quint64(status.st_ino),
                        qint64(status.st_ctim.tv_sec) * kNanosecondsPerSecond +
                            status.st_ctim.tv_nsec,
                        qint64(status.st_size)};
}
