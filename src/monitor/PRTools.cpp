#include "PRTools.h"

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

Error posixError(int code, const QString &what)
{
    return Error{QString::fromLatin1(PRTools::kErrorDomain), code,
                 QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(code)))};
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int descriptor)
        : m_descriptor(descriptor)
    {}
    ~FileDescriptor()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_descriptor; }
    bool valid() const { return m_descriptor >= 0; }

private:
    int m_descriptor;
};

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

// Copies an opened regular file into a new entry of an opened folder.
Result<Done> copyIntoFolder(int sourceDescriptor, const struct stat &sourceStatus, int folder,
                            const QByteArray &name, const QString &destination)
{
    const mode_t mode = sourceStatus.st_mode & 07777;
    const FileDescriptor target(::openat(
        folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!target.valid())
        return posixError(errno, QStringLiteral("cannot create %1").arg(destination));
    const struct timespec times[2] = {sourceStatus.st_atim, sourceStatus.st_mtim};
    if (!copyContents(sourceDescriptor, target.get()) || ::fchmod(target.get(), mode) != 0 ||
        ::futimens(target.get(), times) != 0) {
        const int code = errno;
        ::unlinkat(folder, name.constData(), 0);
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
                                     bool overwrite)
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

    const FileDescriptor sourceFile(
        ::open(QFile::encodeName(source).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat sourceStatus = {};
    if (!sourceFile.valid() || ::fstat(sourceFile.get(), &sourceStatus) != 0)
        return posixError(errno, QStringLiteral("cannot read %1").arg(source));
    if (!S_ISREG(sourceStatus.st_mode))
        return posixError(EINVAL, QStringLiteral("%1 is not a regular file").arg(source));
    // The folder lies where anyone may plant a link; never write through one.
    const FileDescriptor folder(::open(QFile::encodeName(folderPath).constData(),
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid())
        return posixError(errno, QStringLiteral("cannot open the folder %1").arg(folderPath));
    const QByteArray name = QFile::encodeName(QFileInfo(destination).fileName());
    return copyIntoFolder(sourceFile.get(), sourceStatus, folder.get(), name, destination);
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
    ::chmod(QFile::encodeName(path).constData(), kSharedMode);
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
