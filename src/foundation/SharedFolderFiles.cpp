#include "SharedFolderFiles.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// Every descriptor here is closed on exec: the programs start others (the client, helpers).
constexpr int kCreateFlags = O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
constexpr int kOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr mode_t kPermissionBits = 07777;
// Room for one user's passwd entry; the system's own entries are far smaller.
constexpr std::size_t kPasswordEntryBufferSize = 4096;

QByteArray checkedName(const QString &name)
{
    return SharedFolderFiles::isPlainName(name) ? QFile::encodeName(name) : QByteArray();
}

Result<FileDescriptor> checkedRegular(FileDescriptor file, const QString &what)
{
    struct stat status = {};
    if (::fstat(file.get(), &status) != 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot read %1").arg(what), errno);
    if (!S_ISREG(status.st_mode))
        return SharedFolderFiles::systemError(QStringLiteral("%1 is not a regular file").arg(what),
                                              EINVAL);
    // Opened without blocking so that a FIFO cannot hold the open; reads and writes of the regular
    // file block as usual.
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot use %1").arg(what), errno);
    return file;
}

// The uid of the user CUPS runs backends as, where the system has one.
std::optional<uid_t> backendUser()
{
    static const std::optional<uid_t> user = []() -> std::optional<uid_t> {
        struct passwd entry = {};
        struct passwd *found = nullptr;
        std::array<char, kPasswordEntryBufferSize> buffer = {};
        if (::getpwnam_r(VQM_BACKEND_USER, &entry, buffer.data(), buffer.size(), &found) != 0 ||
            found == nullptr)
            return std::nullopt;
        return found->pw_uid;
    }();
    return user;
}

Result<FileDescriptor> checkedOwner(FileDescriptor folder, const QString &what)
{
    struct stat status = {};
    if (::fstat(folder.get(), &status) != 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot read %1").arg(what), errno);
    if (!SharedFolderFiles::isTrustedOwner(status.st_uid)) {
        return SharedFolderFiles::systemError(
            QStringLiteral("the folder %1 belongs to user %2, not to root, to %3 or to this user")
                .arg(what)
                .arg(status.st_uid)
                .arg(QLatin1String(VQM_BACKEND_USER)),
            EPERM);
    }
    return folder;
}

// Why a folder could not be opened. A link answers ENOTDIR (or ELOOP) to O_DIRECTORY|O_NOFOLLOW,
// which would read as if nothing were wrong with it; say what it is.
Error folderOpenError(int parent, const QByteArray &name, const QString &what, int errorNumber)
{
    struct stat status = {};
    if ((errorNumber == ENOTDIR || errorNumber == ELOOP) &&
        ::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(status.st_mode)) {
        return SharedFolderFiles::systemError(
            QStringLiteral("the folder %1 is a symbolic link, which is never followed").arg(what),
            errorNumber);
    }
    return SharedFolderFiles::systemError(QStringLiteral("cannot open the folder %1").arg(what),
                                          errorNumber);
}

// The folder itself at the name, never a link to one.
Result<FileDescriptor> openedFolder(int parent, const QByteArray &name, const QString &what)
{
    const int folder =
        ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return folderOpenError(parent, name, what, errno);
    return FileDescriptor(folder);
}

Result<FileDescriptor> openedRegular(int descriptor, const QString &what)
{
    if (descriptor < 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot open %1").arg(what), errno);
    return checkedRegular(FileDescriptor(descriptor), what);
}

} // namespace

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

int FileDescriptor::release()
{
    const int descriptor = m_descriptor;
    m_descriptor = -1;
    return descriptor;
}

void FileDescriptor::reset(int descriptor)
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = descriptor;
}

bool SharedFolderFiles::isTrustedOwner(uid_t owner)
{
    return owner == 0 || owner == ::geteuid() || owner == backendUser();
}

bool SharedFolderFiles::isTrustedFile(const struct stat &status)
{
    return S_ISREG(status.st_mode) && status.st_nlink == 1 && isTrustedOwner(status.st_uid);
}

Result<FileDescriptor> SharedFolderFiles::openFolder(const QString &path)
{
    return openedFolder(AT_FDCWD, QFile::encodeName(path), path);
}

Result<FileDescriptor> SharedFolderFiles::openOwnedFolder(const QString &path)
{
    Result<FileDescriptor> folder = openFolder(path);
    if (!folder)
        return folder;
    return checkedOwner(std::move(folder.value()), path);
}

Result<FileDescriptor> SharedFolderFiles::openOwnedFolder(int parent, const QString &name)
{
    const QByteArray encoded = checkedName(name);
    if (encoded.isEmpty())
        return systemError(QStringLiteral("cannot open the folder %1").arg(name), EINVAL);
    Result<FileDescriptor> folder = openedFolder(parent, encoded, name);
    if (!folder)
        return folder;
    return checkedOwner(std::move(folder.value()), name);
}

Result<FileDescriptor> SharedFolderFiles::makeOwnedFolder(const QString &path, mode_t mode)
{
    const bool made = ::mkdir(QFile::encodeName(path).constData(), mode) == 0;
    // Another process may make the same folder at the same moment.
    if (!made && errno != EEXIST)
        return systemError(QStringLiteral("cannot create the folder %1").arg(path), errno);
    Result<FileDescriptor> folder = openOwnedFolder(path);
    if (folder && made) {
        if (auto modeSet = setMode(folder->get(), mode); !modeSet)
            return systemError(QStringLiteral("cannot set the mode of %1").arg(path),
                               modeSet.error().code);
    }
    return folder;
}

Result<QStringList> SharedFolderFiles::entryNames(int folder)
{
    // A new open of the same folder rather than a dup, which would share the read position.
    const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0)
        return systemError(QStringLiteral("cannot list the folder"), errno);
    const std::unique_ptr<DIR, int (*)(DIR *)> listing(::fdopendir(own), ::closedir);
    if (!listing) {
        const int code = errno;
        ::close(own);
        return systemError(QStringLiteral("cannot list the folder"), code);
    }
    QStringList names;
    errno = 0;
    while (const dirent *entry = ::readdir(listing.get())) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.append(QFile::decodeName(entry->d_name));
        errno = 0;
    }
    if (errno != 0)
        return systemError(QStringLiteral("cannot list the folder"), errno);
    return names;
}

Result<SharedFolderFiles::EntryStatus> SharedFolderFiles::entryStatus(int folder,
                                                                      const QString &name)
{
    const QByteArray encoded = checkedName(name);
    if (encoded.isEmpty())
        return systemError(QStringLiteral("cannot read %1").arg(name), EINVAL);
    EntryStatus entry = {};
    struct statx times = {};
    if (::fstatat(folder, encoded.constData(), &entry.status, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::statx(folder, encoded.constData(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME,
                &times) != 0)
        return systemError(QStringLiteral("cannot read %1").arg(name), errno);
    const statx_timestamp &stamp =
        (times.stx_mask & STATX_BTIME) ? times.stx_btime : times.stx_mtime;
    const auto sinceEpoch =
        std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec);
    entry.created = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count());
    return entry;
}

Result<FileDescriptor> SharedFolderFiles::createFile(int folder, const QString &name, mode_t mode,
                                                     bool readable)
{
    const QByteArray encoded = checkedName(name);
    if (encoded.isEmpty())
        return systemError(QStringLiteral("cannot create %1").arg(name), EINVAL);
    FileDescriptor file(
        ::openat(folder, encoded.constData(), (readable ? O_RDWR : O_WRONLY) | kCreateFlags, mode));
    if (!file.valid())
        return systemError(QStringLiteral("cannot create %1").arg(name), errno);
    if (auto modeSet = setMode(file.get(), mode); !modeSet) {
        ::unlinkat(folder, encoded.constData(), 0);
        return modeSet.error();
    }
    return file;
}

Result<FileDescriptor> SharedFolderFiles::createUnnamedFile(int folder, mode_t mode)
{
    FileDescriptor file(::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
    if (!file.valid())
        return systemError(QStringLiteral("cannot create an unnamed file"), errno);
    if (auto modeSet = setMode(file.get(), mode); !modeSet)
        return modeSet.error();
    return file;
}

bool SharedFolderFiles::isUnnamedFileRefused(const Error &error)
{
    return error.domain == QLatin1String(kErrorDomain) &&
           (error.code == EOPNOTSUPP || error.code == EISDIR || error.code == EINVAL);
}

Result<Done> SharedFolderFiles::linkFile(int file, int folder, const QString &name)
{
    const QByteArray encoded = checkedName(name);
    if (encoded.isEmpty())
        return systemError(QStringLiteral("cannot name the file %1").arg(name), EINVAL);
    // Linking through the descriptor needs a privilege (AT_EMPTY_PATH); its /proc entry does not.
    const QByteArray source = "/proc/self/fd/" + QByteArray::number(file);
    if (::linkat(AT_FDCWD, source.constData(), folder, encoded.constData(), AT_SYMLINK_FOLLOW) != 0)
        return systemError(QStringLiteral("cannot name the file %1").arg(name), errno);
    return Done{};
}

Result<FileDescriptor> SharedFolderFiles::replaceFile(int folder, const QString &name, mode_t mode,
                                                      bool readable)
{
    // A few rounds: another user may plant the name again between the unlink and the create.
    constexpr int kAttempts = 3;
    Result<FileDescriptor> created = createFile(folder, name, mode, readable);
    for (int attempt = 1; attempt < kAttempts && !created && created.error().code == EEXIST;
         ++attempt) {
        if (::unlinkat(folder, QFile::encodeName(name).constData(), 0) != 0 && errno != ENOENT)
            return systemError(QStringLiteral("cannot remove the stale %1").arg(name), errno);
        created = createFile(folder, name, mode, readable);
    }
    return created;
}

Result<FileDescriptor> SharedFolderFiles::openRegularFile(int folder, const QString &name,
                                                          int flags)
{
    const QByteArray encoded = checkedName(name);
    if (encoded.isEmpty())
        return systemError(QStringLiteral("cannot open %1").arg(name), EINVAL);
    return openedRegular(::openat(folder, encoded.constData(), flags | kOpenFlags), name);
}

Result<FileDescriptor> SharedFolderFiles::openRegularFile(const QString &path, int flags)
{
    return openedRegular(::open(QFile::encodeName(path).constData(), flags | kOpenFlags), path);
}

Result<Done> SharedFolderFiles::removeCheckedFile(int folder, const QString &name,
                                                  const struct stat &checked)
{
    const QByteArray encoded = checkedName(name);
    if (encoded.isEmpty())
        return systemError(QStringLiteral("cannot remove %1").arg(name), EINVAL);
    struct stat current = {};
    if (::fstatat(folder, encoded.constData(), &current, AT_SYMLINK_NOFOLLOW) != 0)
        return systemError(QStringLiteral("cannot remove %1").arg(name), errno);
    if (!S_ISREG(current.st_mode) || current.st_dev != checked.st_dev ||
        current.st_ino != checked.st_ino) {
        return systemError(
            QStringLiteral("%1 is no longer the file that was checked; left alone").arg(name),
            ESTALE);
    }
    if (::unlinkat(folder, encoded.constData(), 0) != 0)
        return systemError(QStringLiteral("cannot remove %1").arg(name), errno);
    return Done{};
}

Result<Done> SharedFolderFiles::setMode(int descriptor, mode_t mode)
{
    if (::fchmod(descriptor, mode) != 0)
        return systemError(QStringLiteral("cannot set the mode"), errno);
    return Done{};
}

Result<Done> SharedFolderFiles::grantMode(int descriptor, mode_t mode)
{
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0)
        return systemError(QStringLiteral("cannot read the mode"), errno);
    const mode_t current = status.st_mode & kPermissionBits;
    if ((current | mode) == current)
        return Done{};
    return setMode(descriptor, current | mode);
}

bool SharedFolderFiles::isPlainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

Error SharedFolderFiles::systemError(const QString &what, int errorNumber)
{
    return Error{
        QString::fromLatin1(kErrorDomain), errorNumber,
        QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errorNumber)))};
}
