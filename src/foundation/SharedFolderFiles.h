#pragma once

// Safe access to entries of folders that every local user can write (the spool tree, the copy
// folder, /tmp). Anything found there may have been planted by another user, so:
// - folders are opened with O_DIRECTORY|O_NOFOLLOW and entries are reached relative to that
//   descriptor, never by a path checked earlier;
// - files are created with O_CREAT|O_EXCL|O_NOFOLLOW and their mode set with fchmod;
// - existing files are opened with O_NOFOLLOW|O_NONBLOCK (a FIFO never blocks the open) and used
//   only when fstat says they are regular files.
// Plain functions on descriptors; any thread.

#include "foundation/Error.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <sys/types.h>

// An owned file descriptor, closed when it goes.
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor)
        : m_descriptor(descriptor)
    {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor &&other) noexcept
        : m_descriptor(other.release())
    {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept;
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_descriptor; }
    bool valid() const { return m_descriptor >= 0; }
    // Gives up ownership: the caller closes the descriptor.
    int release();
    void reset(int descriptor = -1);

private:
    int m_descriptor = -1;
};

class SharedFolderFiles
{
public:
    static constexpr auto kErrorDomain = "SharedFolderFiles";

    // Opens the folder itself (not a link to one) for use with the functions below.
    static Result<FileDescriptor> openFolder(const QString &path);

    // Whose entries of the shared tree are trusted: root, the user CUPS runs backends as (looked
    // up by name once) and the user this program runs as.
    static bool isTrustedOwner(uid_t owner);
    // Whether the entry is one the programs could have made in the shared tree (a job's PDF, the
    // job table): a regular file with one link (never a hard link to someone else's file), owned
    // by a trusted owner.
    static bool isTrustedFile(const struct stat &status);

    // As openFolder, for a folder of the shared tree that this program works in: it must also be
    // owned by a trusted owner. A folder that another user made or put at the name is refused
    // with EPERM, its owner named.
    static Result<FileDescriptor> openOwnedFolder(const QString &path);
    // The same for an entry of an opened folder.
    static Result<FileDescriptor> openOwnedFolder(int parent, const QString &name);
    // As openOwnedFolder(path), making the folder first when nothing is at the path (its parent
    // must exist). A folder made here gets the mode through its descriptor, so that the umask does
    // not narrow it; one that exists keeps its own. mkdir never follows a link at the name.
    static Result<FileDescriptor> makeOwnedFolder(const QString &path, mode_t mode);

    // The names of the opened folder's entries ("." and ".." left out), listed through a
    // descriptor of its own, so that listings on several threads never share a read position.
    static Result<QStringList> entryNames(int folder);

    struct EntryStatus
    {
        struct stat status;
        // The creation time, or, where the file system keeps none, the modification time.
        QDateTime created;
    };
    // The entry itself, a link never followed.
    static Result<EntryStatus> entryStatus(int folder, const QString &name);

    // Creates a new file in the folder, open for writing (and reading when readable is set), and
    // sets its mode with fchmod so that the umask does not narrow it. Fails when the name exists.
    static Result<FileDescriptor> createFile(int folder, const QString &name, mode_t mode,
                                             bool readable = false);

    // Creates a file without a name in the folder (O_TMPFILE), open for reading and writing, and
    // sets its mode with fchmod. Nobody can open, list or swap it until linkFile names it; it is
    // gone when its last descriptor closes. A file system without unnamed files refuses it
    // (isUnnamedFileRefused).
    static Result<FileDescriptor> createUnnamedFile(int folder, mode_t mode);
    // Whether createUnnamedFile failed because the folder's file system has no unnamed files
    // (EOPNOTSUPP; EISDIR or EINVAL from kernels that predate them).
    static bool isUnnamedFileRefused(const Error &error);
    // Gives the open file (unnamed, or named elsewhere in the same file system) a new name in the
    // folder, through the descriptor itself, so the entry made is that very file whatever happened
    // to its other names. Never replaces an entry at the name: EEXIST when it is taken.
    static Result<Done> linkFile(int file, int folder, const QString &name);

    // As createFile, for a name that is the caller's own temporary name: whatever stands there
    // (a stale file of an earlier run, or a planted link) is unlinked first, which removes a link
    // and never its target, and the create is tried again.
    static Result<FileDescriptor> replaceFile(int folder, const QString &name, mode_t mode,
                                              bool readable = false);

    // Opens an existing regular file of the folder (flags: O_RDONLY, O_WRONLY or O_RDWR, plus
    // O_APPEND where wanted). A link, a FIFO, a folder or any other kind of entry is refused with
    // ELOOP, or EINVAL for a non-regular file, without blocking. The descriptor is left blocking.
    static Result<FileDescriptor> openRegularFile(int folder, const QString &name, int flags);
    // The same by path: only the last component is refused when it is a link.
    static Result<FileDescriptor> openRegularFile(const QString &path, int flags);

    // Removes the entry only while it is still the regular file that was checked (same device and
    // inode, the name itself never followed). Anything else now at the name (a folder, a link,
    // another file) is left alone and reported with ESTALE.
    static Result<Done> removeCheckedFile(int folder, const QString &name,
                                          const struct stat &checked);

    // Sets the mode through the open descriptor.
    static Result<Done> setMode(int descriptor, mode_t mode);
    // Adds the permission bits of the mode to the file's own, never removing any.
    static Result<Done> grantMode(int descriptor, mode_t mode);

    // A name that stays inside its folder: not empty, not "." or "..", and without a slash.
    static bool isPlainName(const QString &name);

    // An error of this domain for errno, naming what failed.
    static Error systemError(const QString &what, int errorNumber);
};
