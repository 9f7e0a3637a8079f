#include "PRTools.h"

#include "foundation/SharedFolderFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kCopyBufferSize = 64 * 1024;

Error posixError(int code, const QString &what)
{
    return Error{QString::fromLatin1(PRTools::kErrorDomain), code,
                 QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(code)))};
}

// A shared-folder error (its description names the cause already) in this domain.
Error ownError(const Error &error)
{
    return Error{QString::fromLatin1(PRTools::kErrorDomain), error.code, error.description};
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
                            const QString &name, mode_t mode)
{
    Result<FileDescriptor> target = SharedFolderFiles::createFile(folder, name, mode);
    if (!target)
        return ownError(target.error());
    const struct timespec times[2] = {sourceStatus.st_atim, sourceStatus.st_mtim};
    if (!copyContents(sourceDescriptor, target->get()) || ::futimens(target->get(), times) != 0) {
        const int code = errno;
        ::unlinkat(folder, QFile::encodeName(name).constData(), 0);
        return posixError(code, QStringLiteral("cannot copy to %1").arg(name));
    }
    return Done{};
}

} // namespace

Result<struct stat> PRTools::copyItem(int sourceFolder, const QString &sourceName,
                                      int destinationFolder, const QString &destinationName,
                                      mode_t mode)
{
    // Both folders lie where anyone may plant a link or a FIFO: never follow one, never block.
    const Result<FileDescriptor> source =
        SharedFolderFiles::openRegularFile(sourceFolder, sourceName, O_RDONLY);
    if (!source && source.error().code == ENOENT)
        return Error{QString::fromUtf8(kSourceMissingErrorName), ENOENT,
                     QString::fromUtf8(kSourceMissingErrorFormat).arg(sourceName)};
    if (!source)
        return ownError(source.error());
    struct stat sourceStatus = {};
    if (::fstat(source->get(), &sourceStatus) != 0)
        return posixError(errno, QStringLiteral("cannot read %1").arg(sourceName));
    if (Result<Done> copied =
            copyIntoFolder(source->get(), sourceStatus, destinationFolder, destinationName, mode);
        !copied)
        return copied.error();
    return sourceStatus;
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

void PRTools::setSharedMode(const QString &path)
{
    // Through a descriptor of the entry itself, reached through a folder that passes the owner
    // rule, so that a link planted at the path (or at its folder) is refused instead of handing its
    // target to every user.
    Result<FileDescriptor> entry = SharedFolderFiles::openOwnedFolder(path);
    if (!entry) {
        const QFileInfo place(path);
        const Result<FileDescriptor> folder = SharedFolderFiles::openOwnedFolder(place.path());
        if (!folder)
            return;
        entry = SharedFolderFiles::openRegularFile(folder->get(), place.fileName(), O_RDONLY);
    }
    if (entry)
        SharedFolderFiles::setMode(entry->get(), kSharedMode);
}

void PRTools::removeExpiredFiles(int folder, std::chrono::seconds maxAge, const QDateTime &now)
{
    const Result<QStringList> names = SharedFolderFiles::entryNames(folder);
    if (!names)
        return;
    const qint64 maxAgeMs = std::chrono::duration_cast<std::chrono::milliseconds>(maxAge).count();
    for (const QString &name : names.value()) {
        if (QFileInfo(name).suffix().toLower() != QLatin1String(MonitorDefaults::kPdfExtension))
            continue;
        const Result<SharedFolderFiles::EntryStatus> entry =
            SharedFolderFiles::entryStatus(folder, name);
        if (!entry || !S_ISREG(entry->status.st_mode) || entry->created.msecsTo(now) <= maxAgeMs)
            continue;
        // Swapped for anything else since it was dated (a folder, a link), it stays.
        SharedFolderFiles::removeCheckedFile(folder, name, entry->status);
    }
}
