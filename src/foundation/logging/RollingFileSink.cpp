#include "RollingFileSink.h"

#include "foundation/SharedFolderFiles.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bound of the numeric suffixes tried for a taken name.
constexpr int kMaximumNameSuffix = 10000;
// Readable by every local user, as the usual umask leaves a new file.
constexpr mode_t kFileMode = 0644;

} // namespace

struct RollingFileSink::LogFile
{
    QString name;
    QDateTime created;
    qint64 size = 0;
    quint64 creationOrder = 0; // 1, 2, ... for files this sink made; 0 for the others
};

QList<RollingFileSink::LogFile> RollingFileSink::logFiles() const
{
    // Through the opened folder: the path may lead elsewhere by now. Folders and links are no log
    // files.
    QList<LogFile> files;
    const Result<QStringList> names = SharedFolderFiles::entryNames(m_folderFd.get());
    if (!names)
        return files;
    for (const QString &name : names.value()) {
        if (!m_naming->isLogFile(name))
            continue;
        const Result<SharedFolderFiles::EntryStatus> entry =
            SharedFolderFiles::entryStatus(m_folderFd.get(), name);
        if (!entry || S_ISDIR(entry->status.st_mode) || S_ISLNK(entry->status.st_mode))
            continue;
        files.append(
            {name, entry->created, qint64(entry->status.st_size), m_creationOrder.value(name)});
    }
    // Newest first. File times are coarse (a clock tick), so files made within one tick are
    // ordered by the order in which this sink made them, then by name.
    std::sort(files.begin(), files.end(), [](const LogFile &a, const LogFile &b) {
        if (a.created != b.created)
            return a.created > b.created;
        if (a.creationOrder != b.creationOrder)
            return a.creationOrder > b.creationOrder;
        return a.name > b.name;
    });
    return files;
}

RollingFileSink::RollingFileSink(QString folder, std::shared_ptr<const LogFileNamingPolicy> naming,
                                 RollingFileLimits limits, Clock clock)
    : m_folder(std::move(folder))
    , m_naming(std::move(naming))
    , m_limits(limits)
    , m_clock(clock ? std::move(clock) : Clock(&QDateTime::currentDateTime))
{}

RollingFileSink::~RollingFileSink()
{
    closeFile();
}

QString RollingFileSink::currentFilePath()
{
    std::lock_guard lock(mutex_);
    return m_path;
}

void RollingFileSink::sink_it_(const spdlog::details::log_msg &message)
{
    spdlog::memory_buf_t formatted;
    formatter_->format(message, formatted);
    if (!ensureFile(qint64(formatted.size())))
        return;
    const char *data = formatted.data();
    size_t left = formatted.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            reportFailure(QStringLiteral("could not write to %1: %2")
                              .arg(m_path, QString::fromLocal8Bit(std::strerror(errno))));
            closeFile();
            return;
        }
        data += written;
        left -= size_t(written);
        m_size += written;
    }
    m_failureReported = false;
}

void RollingFileSink::flush_()
{
    // Entries are written through at once; nothing is held back.
}

bool RollingFileSink::ensureFile(qint64 nextEntrySize)
{
    if (m_fd >= 0) {
        const bool tooOld = m_limits.rollingFrequency.count() > 0 &&
                            m_created.secsTo(now()) >= m_limits.rollingFrequency.count();
        const bool tooBig = m_limits.maximumFileSize > 0 && m_size > 0 &&
                            m_size + nextEntrySize > m_limits.maximumFileSize;
        if (!tooOld && !tooBig)
            return true;
        closeFile();
    }
    if (!takeFile())
        return false;
    // Whether the file is continued or new, at most the limit remain from the first entry on.
    deleteOldFiles();
    return true;
}

bool RollingFileSink::takeFile()
{
    const bool first = !m_started;
    m_started = true;
    return (first && continueNewestFile()) || openNewFile();
}

bool RollingFileSink::continueNewestFile()
{
    // A folder that is missing or refused is made or reported when a new file is opened.
    if (!openFolder(false))
        return false;
    const QList<LogFile> files = logFiles();
    if (files.isEmpty())
        return false;
    const LogFile &newest = files.first();
    // Never append to a file of another kind that a lenient policy counts as a log file.
    const QString extension = QFileInfo(m_naming->newLogFileName()).suffix();
    if (QFileInfo(newest.name).suffix() != extension)
        return false;
    const bool young = m_limits.rollingFrequency.count() <= 0 ||
                       newest.created.secsTo(now()) < m_limits.rollingFrequency.count();
    const bool small = m_limits.maximumFileSize <= 0 || newest.size < m_limits.maximumFileSize;
    if (!young || !small)
        return false;
    // Only a regular file is continued: a link or a FIFO put there since the listing is not.
    Result<FileDescriptor> file =
        SharedFolderFiles::openRegularFile(m_folderFd.get(), newest.name, O_WRONLY | O_APPEND);
    return file && useFile(std::move(file.value()), newest.name, newest.created);
}

bool RollingFileSink::openNewFile()
{
    if (!QDir().mkpath(m_folder)) {
        reportFailure(QStringLiteral("could not create the log folder %1").arg(m_folder));
        return false;
    }
    if (!openFolder(true))
        return false;
    const std::optional<QString> name = createFreeFile(m_naming->newLogFileName());
    if (!name)
        return false;
    m_creationOrder.insert(*name, ++m_filesMade);
    return true;
}

bool RollingFileSink::openFolder(bool reportFailures)
{
    // The folder itself, never a link put in its place nor another user's folder; its entries are
    // reached through it.
    Result<FileDescriptor> folder = SharedFolderFiles::openOwnedFolder(m_folder);
    if (!folder) {
        if (reportFailures)
            reportFailure(
                QStringLiteral("could not use the log folder: %1").arg(folder.error().description));
        return false;
    }
    m_folderFd = std::move(folder.value());
    return true;
}

std::optional<QString> RollingFileSink::createFreeFile(const QString &proposed)
{
    // Any entry takes its name, a link (dangling or not) included; the file is always new.
    const QString suffix = QFileInfo(proposed).suffix();
    const QString stem = suffix.isEmpty() ? proposed : proposed.chopped(suffix.size() + 1);
    const QString extension = suffix.isEmpty() ? QString() : u'.' + suffix;
    for (int number = 0; number <= kMaximumNameSuffix; ++number) {
        const QString candidate =
            number == 0 ? proposed : QStringLiteral("%1 %2%3").arg(stem).arg(number).arg(extension);
        Result<FileDescriptor> file =
            SharedFolderFiles::createFile(m_folderFd.get(), candidate, kFileMode);
        if (file) {
            if (!useFile(std::move(file.value()), candidate, now()))
                return std::nullopt;
            return candidate;
        }
        if (file.error().code != EEXIST) {
            reportFailure(QStringLiteral("could not open the log file %1: %2")
                              .arg(QDir(m_folder).filePath(candidate), file.error().description));
            return std::nullopt;
        }
    }
    reportFailure(
        QStringLiteral("every name of %1 is taken").arg(QDir(m_folder).filePath(proposed)));
    return std::nullopt;
}

bool RollingFileSink::useFile(FileDescriptor file, const QString &name, const QDateTime &created)
{
    struct stat status = {};
    if (::fstat(file.get(), &status) != 0) {
        reportFailure(
            QStringLiteral("could not open the log file %1: %2")
                .arg(QDir(m_folder).filePath(name), QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    m_fd = file.release();
    m_name = name;
    m_path = QDir(m_folder).filePath(name);
    m_created = created;
    m_size = qint64(status.st_size);
    return true;
}

void RollingFileSink::closeFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_name = QString();
    m_path = QString();
    m_size = 0;
}

void RollingFileSink::deleteOldFiles()
{
    QList<LogFile> others = logFiles();
    others.removeIf([&](const LogFile &file) { return file.name == m_name; });
    const auto removeOldest = [&] {
        const LogFile oldest = others.takeLast(); // newest first, so the oldest is last
        ::unlinkat(m_folderFd.get(), QFile::encodeName(oldest.name).constData(), 0);
        m_creationOrder.remove(oldest.name);
        return oldest.size;
    };
    if (m_limits.maximumNumberOfLogFiles > 0) {
        while (others.size() > m_limits.maximumNumberOfLogFiles - 1)
            removeOldest();
    }
    if (m_limits.logFilesDiskQuota > 0) {
        // Room is kept for the current file to grow to its limit.
        qint64 total = std::max(m_size, m_limits.maximumFileSize);
        for (const LogFile &file : std::as_const(others))
            total += file.size;
        while (total > m_limits.logFilesDiskQuota && !others.isEmpty())
            total -= removeOldest();
    }
}

QDateTime RollingFileSink::now() const
{
    return m_clock();
}

void RollingFileSink::reportFailure(const QString &what)
{
    // Standard error directly: a Qt message handler may route back into this logger.
    if (m_failureReported)
        return;
    m_failureReported = true;
    std::fprintf(stderr, "log files: %s\n", what.toLocal8Bit().constData());
}
