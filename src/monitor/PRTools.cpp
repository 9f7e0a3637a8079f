#include "PRTools.h"

#include "foundation/SharedFolderFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kCopyBufferSize = 64 * 1024;
constexpr auto kPdfExtension = "pdf";
constexpr mode_t kPermissionBits = 07777;

Error posixError(int code, const QString &what)
{
    return Error{QString::fromLatin1(PRTools::kErrorDomain), code,
                 QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(code)))};
}

bool writeAll(int descriptor, const char *data, ssize_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(descriptor, data, size_t(length));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        length -= written;
    }
    return true;
}

bool copyContents(int from, int to)
{
    const auto buffer = std::make_unique<char[]>(kCopyBufferSize);
    for (;;) {
        const ssize_t length = ::read(from, buffer.get(), kCopyBufferSize);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            return false;
        if (length == 0)
            return true;
        if (!writeAll(to, buffer.get(), length))
            return false;
    }
}

// Copies an opened regular file into a new entry of an opened folder, with the given mode.
Result<Done> copyIntoFolder(int sourceDescriptor, const struct stat &sourceStatus, int folder,
                            const QString &name, mode_t mode, const QString &destination)
{
    Result<FileDescriptor> target = SharedFolderFiles::createFile(folder, name, mode);
    if (!target)
        return posixError(target.error().code, QStringLiteral("cannot create %1").arg(destination));
    const struct timespec times[2] = {sourceStatus.st_atim, sourceStatus.st_mtim};
    if (!copyContents(sourceDescriptor, target->get()) || ::futimens(target->get(), times) != 0) {
        const int code = errno;
        ::unlinkat(folder, QFile::encodeName(name).constData(), 0);
        return posixError(code, QStringLiteral("cannot copy to %1").arg(destination));
    }
    return Done{};
}

} // namespace

std::optional<QStringList> PRTools::contentsOfDirectoryAtPath(const QString &path)
{
    const std::unique_ptr<DIR, int (*)(DIR *)> folder(
        ::opendir(QFile::encodeName(path).constData()), ::closedir);
    if (!folder)
        return std::nullopt;
    QStringList names;
    while (const dirent *entry = ::readdir(folder.get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        names.append(QFile::decodeName(entry->d_name));
    }
    return names;
}

Result<Done> PRTools::copyItemAtPath(const QString &source, const QString &destination,
                                     bool overwrite, std::optional<mode_t> modeOfCopy)
{
    if (!isExistsAtPath(source))
        return Error{QString::fromUtf8(kSourceMissingErrorName), ENOENT,
                     QString::fromUtf8(kSourceMissingErrorFormat).arg(source)};
    const QString folderPath = directoryAtPath(destination);
    if (!isExistsAtPath(folderPath)) {
        Result<Done> created = createDirectoryAtPath(folderPath);
        if (!created)
            return created;
    }
    if (overwrite && QFileInfo(destination).exists())
        removeItemAtPath(destination);

    // Both folders lie where anyone may plant a link or a FIFO: never follow one, never block.
    const Result<FileDescriptor> sourceFile = SharedFolderFiles::openRegularFile(source, O_RDONLY);
    struct stat sourceStatus = {};
    if (!sourceFile)
        return posixError(sourceFile.error().code, sourceFile.error().description);
    if (::fstat(sourceFile->get(), &sourceStatus) != 0)
        return posixError(errno, QStringLiteral("cannot read %1").arg(source));
    const Result<FileDescriptor> folder = SharedFolderFiles::openFolder(folderPath);
    if (!folder)
        return posixError(folder.error().code, folder.error().description);
    const mode_t mode = modeOfCopy.value_or(sourceStatus.st_mode & kPermissionBits);
    return copyIntoFolder(sourceFile->get(), sourceStatus, folder->get(),
                          QFileInfo(destination).fileName(), mode, destination);
}

Result<Done> PRTools::removeItemAtPath(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat status = {};
    if (::lstat(encoded.constData(), &status) != 0)
        return posixError(errno, QStringLiteral("cannot remove %1").arg(path));
    if (S_ISDIR(status.st_mode)) {
        if (!QDir(path).removeRecursively())
            return posixError(EACCES, QStringLiteral("cannot remove the folder %1").arg(path));
        return Done{};
    }
    if (::unlink(encoded.constData()) != 0)
        return posixError(errno, QStringLiteral("cannot remove %1").arg(path));
    return Done{};
}

Result<Done> PRTools::createDirectoryAtPath(const QString &path)
{
    if (!QDir().mkpath(path))
        return posixError(errno ? errno : EACCES,
                          QStringLiteral("cannot create the folder %1").arg(path));
    return Done{};
}

bool PRTools::isExistsAtPath(const QString &path)
{
    return QFileInfo::exists(path);
}

QString PRTools::directoryAtPath(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString(QLatin1String(""));
    return slash == 0 ? QStringLiteral("/") : trimmed.left(slash);
}

bool PRTools::removeFileAtPath(const QString &path)
{
    if (!isExistsAtPath(path))
        return true;
    return removeItemAtPath(path).ok();
}

void PRTools::setSharedMode(const QString &path)
{
    // Through a descriptor of the entry itself, so that a link planted at the path is refused
    // instead of handing its target to every user.
    Result<FileDescriptor> entry = SharedFolderFiles::openFolder(path);
    if (!entry)
        entry = SharedFolderFiles::openRegularFile(path, O_RDONLY);
    if (entry)
        SharedFolderFiles::setMode(entry->get(), kSharedMode);
}

std::optional<QDateTime> PRTools::creationDateOfItemAtPath(const QString &path)
{
    struct statx status = {};
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW,
                STATX_BTIME | STATX_MTIME, &status) != 0)
        return std::nullopt;
    if (!(status.stx_mask & (STATX_BTIME | STATX_MTIME)))
        return std::nullopt;
    const statx_timestamp &stamp =
        (status.stx_mask & STATX_BTIME) ? status.stx_btime : status.stx_mtime;
    const auto sinceEpoch =
        std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec);
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count());
}

void PRTools::removeExpiredFilesAtDirPath(const QString &path, std::chrono::seconds maxAge,
                                          const QDateTime &now)
{
    const QStringList names = contentsOfDirectoryAtPath(path).value_or(QStringList());
    const qint64 maxAgeMs = std::chrono::duration_cast<std::chrono::milliseconds>(maxAge).count();
    for (const QString &name : names) {
        const QString filePath = QDir(path).filePath(name);
        const QFileInfo info(filePath);
        if (info.isDir() || info.suffix().toLower() != QLatin1String(kPdfExtension))
            continue;
        const std::optional<QDateTime> created = creationDateOfItemAtPath(filePath);
        if (created && created->msecsTo(now) > maxAgeMs)
            QFile::remove(filePath);
    }
}
