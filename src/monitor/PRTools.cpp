#include "PRTools.h"

#include "NoFollowPath.h"
#include "TreeRemoval.h"
#include "foundation/SharedFolderFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kCopyBufferSize = 64 * 1024;
// What a copy takes of its source's mode: the permission bits, never a set-id or sticky bit.
constexpr mode_t kCopiedPermissionBits = 0777;
// A copy being written is nobody else's to open; it gets its own mode just before it is moved.
constexpr mode_t kStagingMode = 0600;
// Staging names are random: a name that is taken was planted, and a few tries get past it.
constexpr int kStagingAttempts = 3;
constexpr int kStagingNameDigits = 16;
constexpr int kHexadecimal = 16;

Error posixError(int code, const QString &what)
{
    return Error{QString::fromLatin1(PRTools::kErrorDomain), code,
                 QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(code)))};
}

// An error of the walk or of a shared-folder step (its description names the cause already) in
// this domain, naming the path it happened on.
Error onPath(const QString &path, const Error &error)
{
    return Error{QString::fromLatin1(PRTools::kErrorDomain), error.code,
                 QStringLiteral("%1: %2").arg(path, error.description)};
}

Error sourceMissing(const QString &source)
{
    return Error{QString::fromUtf8(PRTools::kSourceMissingErrorName), ENOENT,
                 QString::fromUtf8(PRTools::kSourceMissingErrorFormat).arg(source)};
}

bool isTrustedFolder(int folder)
{
    struct stat status = {};
    return ::fstat(folder, &status) == 0 && SharedFolderFiles::isTrustedOwner(status.st_uid);
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

struct OpenedSource
{
    FileDescriptor file;
    struct stat status;
};

// The source, never followed when it is a link; one that is not a regular file (a FIFO) fails
// without blocking.
Result<OpenedSource> openSource(int folder, const QString &name, const QString &shownAs)
{
    Result<FileDescriptor> source = SharedFolderFiles::openRegularFile(folder, name, O_RDONLY);
    if (!source && source.error().code == ENOENT)
        return sourceMissing(shownAs);
    if (!source)
        return onPath(shownAs, source.error());
    struct stat status = {};
    if (::fstat(source->get(), &status) != 0)
        return posixError(errno, QStringLiteral("cannot read %1").arg(shownAs));
    return OpenedSource{std::move(source.value()), status};
}

struct StagedFile
{
    FileDescriptor file;
    QString name;
};

Result<StagedFile> stageFile(int folder)
{
    Result<FileDescriptor> created = Error{};
    for (int attempt = 0; attempt < kStagingAttempts; ++attempt) {
        const QString name = QStringLiteral(".%1.copy")
                                 .arg(QRandomGenerator::system()->generate64(), kStagingNameDigits,
                                      kHexadecimal, QLatin1Char('0'));
        created = SharedFolderFiles::createFile(folder, name, kStagingMode);
        if (created)
            return StagedFile{std::move(created.value()), name};
        if (created.error().code != EEXIST)
            break;
    }
    return created.error();
}

// Renames the staged copy to the name: at once over a file or a link (the link itself, never its
// target); a folder, which a file cannot replace, is removed first.
Result<Done> moveIntoPlace(int folder, const QString &staged, const QString &name, bool overwrite)
{
    const QByteArray from = QFile::encodeName(staged);
    const QByteArray to = QFile::encodeName(name);
    if (::renameat2(folder, from.constData(), folder, to.constData(),
                    overwrite ? 0 : RENAME_NOREPLACE) == 0)
        return Done{};
    if (overwrite && errno == EISDIR) {
        if (const Result<Done> removed = TreeRemoval::removeEntry(folder, name); !removed)
            return onPath(name, removed.error());
        if (::renameat2(folder, from.constData(), folder, to.constData(), RENAME_NOREPLACE) == 0)
            return Done{};
    }
    return posixError(errno, QStringLiteral("cannot put the copy at %1").arg(name));
}

// Writes the copy under a staging name and moves it to the name, so that the name never shows
// a partial copy; a copy that fails leaves nothing behind.
Result<Done> writeCopy(const OpenedSource &source, int folder, const QString &name, mode_t mode,
                       bool overwrite)
{
    Result<StagedFile> staged = stageFile(folder);
    if (!staged)
        return onPath(name, staged.error());
    const struct timespec times[2] = {source.status.st_atim, source.status.st_mtim};
    Result<Done> written = Done{};
    if (!copyContents(source.file.get(), staged->file.get()) ||
        ::futimens(staged->file.get(), times) != 0)
        written = posixError(errno ? errno : EIO, QStringLiteral("cannot copy to %1").arg(name));
    else if (const Result<Done> modeSet = SharedFolderFiles::setMode(staged->file.get(), mode);
             !modeSet)
        written = onPath(name, modeSet.error());
    else
        written = moveIntoPlace(folder, staged->name, name, overwrite);
    struct stat own = {};
    if (!written && ::fstat(staged->file.get(), &own) == 0)
        SharedFolderFiles::removeCheckedFile(folder, staged->name, own);
    return written;
}

// Removes the entry only while the name still holds the one that was dated: unlinkat removes a
// link itself, never what it leads to, and refuses a folder put there since.
void removeDatedEntry(int folder, const QString &name, const struct stat &dated)
{
    const QByteArray encoded = QFile::encodeName(name);
    struct stat current = {};
    if (::fstatat(folder, encoded.constData(), &current, AT_SYMLINK_NOFOLLOW) == 0 &&
        current.st_dev == dated.st_dev && current.st_ino == dated.st_ino &&
        !S_ISDIR(current.st_mode))
        ::unlinkat(folder, encoded.constData(), 0);
}

} // namespace

Result<Done> PRTools::copyItemAtPath(const QString &source, const QString &toPath, bool overwrite)
{
    const Result<NoFollowPath::Place> from = NoFollowPath::placeOf(source);
    if (!from) {
        const int code = from.error().code;
        return code == ENOENT || code == ENOTDIR ? sourceMissing(source)
                                                 : onPath(source, from.error());
    }
    const Result<OpenedSource> opened = openSource(from->folder.get(), from->name, source);
    if (!opened)
        return opened.error();
    const Result<NoFollowPath::Place> to =
        NoFollowPath::placeOf(toPath, NoFollowPath::Missing::Make);
    if (!to)
        return onPath(toPath, to.error());
    return writeCopy(opened.value(), to->folder.get(), to->name,
                     opened->status.st_mode & kCopiedPermissionBits, overwrite);
}

Result<Done> PRTools::removeItemAtPath(const QString &path)
{
    const Result<NoFollowPath::Place> place = NoFollowPath::placeOf(path);
    if (!place)
        return onPath(path, place.error());
    struct stat status = {};
    if (::fstatat(place->folder.get(), QFile::encodeName(place->name).constData(), &status,
                  AT_SYMLINK_NOFOLLOW) != 0)
        return posixError(errno, QStringLiteral("cannot remove %1").arg(path));
    if (const Result<Done> removed = TreeRemoval::removeEntry(place->folder.get(), place->name);
        !removed)
        return onPath(path, removed.error());
    return Done{};
}

Result<Done> PRTools::createDirectoryAtPath(const QString &path)
{
    const Result<FileDescriptor> folder =
        NoFollowPath::openFolder(path, NoFollowPath::Missing::Make);
    if (!folder)
        return onPath(path, folder.error());
    return Done{};
}

bool PRTools::isExistsAtPath(const QString &path)
{
    const Result<NoFollowPath::Place> place = NoFollowPath::placeOf(path);
    // "/" and "." have no last component: the walk's own start is what is there.
    if (!place)
        return place.error().code == EINVAL && NoFollowPath::openFolder(path);
    struct stat status = {};
    return ::fstatat(place->folder.get(), QFile::encodeName(place->name).constData(), &status,
                     AT_SYMLINK_NOFOLLOW) == 0;
}

QString PRTools::directoryAtPath(const QString &path)
{
    const QChar slash = QLatin1Char('/');
    auto withoutTrailingSlashes = [slash](QString text) {
        while (text.size() > 1 && text.endsWith(slash))
            text.chop(1);
        return text;
    };
    const QString trimmed = withoutTrailingSlashes(path);
    const qsizetype last = trimmed.lastIndexOf(slash);
    if (last < 0)
        return QLatin1String("");
    if (last == 0)
        return QString(slash);
    return withoutTrailingSlashes(trimmed.left(last));
}

bool PRTools::removeFileAtPath(const QString &path)
{
    const Result<NoFollowPath::Place> place = NoFollowPath::placeOf(path);
    if (!place)
        return place.error().code == ENOENT || place.error().code == ENOTDIR;
    struct stat status = {};
    if (::fstatat(place->folder.get(), QFile::encodeName(place->name).constData(), &status,
                  AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    return TreeRemoval::removeEntry(place->folder.get(), place->name).ok();
}

void PRTools::removeExpiredFilesAtDirPath(const QString &path, std::chrono::seconds maxAge,
                                          const QDateTime &now)
{
    const Result<FileDescriptor> folder = NoFollowPath::openFolder(path);
    if (folder && isTrustedFolder(folder->get()))
        removeExpiredFilesInFolder(folder->get(), maxAge, now);
}

Result<struct stat> PRTools::copyFileBetweenFolders(int sourceFolder, const QString &sourceName,
                                                    int destinationFolder,
                                                    const QString &destinationName, mode_t mode)
{
    // Both folders lie where anyone may plant a link or a FIFO: never follow one, never block.
    const Result<OpenedSource> source = openSource(sourceFolder, sourceName, sourceName);
    if (!source)
        return source.error();
    if (const Result<Done> copied =
            writeCopy(source.value(), destinationFolder, destinationName, mode, false);
        !copied)
        return copied.error();
    return source->status;
}

void PRTools::removeExpiredFilesInFolder(int folder, std::chrono::seconds maxAge,
                                         const QDateTime &now)
{
    const Result<QStringList> names = SharedFolderFiles::entryNames(folder);
    if (!names)
        return;
    const qint64 maxAgeMs = std::chrono::duration_cast<std::chrono::milliseconds>(maxAge).count();
    for (const QString &name : names.value()) {
        if (QFileInfo(name).suffix().toLower() != QLatin1String(MonitorDefaults::kPdfExtension))
            continue;
        // Dated as the entry itself: a link by its own times, never by its target's.
        const Result<SharedFolderFiles::EntryStatus> entry =
            SharedFolderFiles::entryStatus(folder, name);
        if (!entry || S_ISDIR(entry->status.st_mode) || entry->created.msecsTo(now) <= maxAgeMs)
            continue;
        removeDatedEntry(folder, name, entry->status);
    }
}

void PRTools::setSharedMode(const QString &path)
{
    // Through a descriptor of the entry itself, reached without following a link at any step and,
    // for a file, through a folder that passes the owner rule, so that a link planted at the path
    // (or on the way to it) is refused instead of handing its target to every user.
    const Result<NoFollowPath::Place> place = NoFollowPath::placeOf(path);
    if (!place)
        return;
    Result<FileDescriptor> entry =
        SharedFolderFiles::openOwnedFolder(place->folder.get(), place->name);
    if (!entry && isTrustedFolder(place->folder.get()))
        entry = SharedFolderFiles::openRegularFile(place->folder.get(), place->name, O_RDONLY);
    if (entry)
        SharedFolderFiles::setMode(entry->get(), kSharedMode);
}
