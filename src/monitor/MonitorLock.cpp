#include "MonitorLock.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Other monitors (or other users) may change the entry between two of our steps: made between a
// failed open and the create, or replaced between the open and the lock. A few rounds each.
constexpr int kRaceRounds = 3;
// Where the kernel lists the locks held and who took them.
constexpr auto kKernelLockList = "/proc/locks";

MonitorLock::Attempt unusable(const QString &reason)
{
    return {MonitorLock::State::Unusable, 0, reason};
}

QString reasonOf(const Error &error, const QString &name)
{
    // Opened with O_NOFOLLOW, a link answers ELOOP.
    if (error.code == ELOOP)
        return QStringLiteral("%1 is a symbolic link, which is never followed").arg(name);
    return error.description;
}

// The entry opened for reading only, which is all a lock needs; made, with the installation's
// mode, where the installation was skipped.
Result<FileDescriptor> openOrCreate(int folder, const QString &name)
{
    for (int round = 0; round < kRaceRounds; ++round) {
        Result<FileDescriptor> opened = SharedFolderFiles::openRegularFile(folder, name, O_RDONLY);
        if (opened || opened.error().code != ENOENT)
            return opened;
        const Result<FileDescriptor> created =
            SharedFolderFiles::createFile(folder, name, MonitorLock::kMode);
        if (!created && created.error().code != EEXIST)
            return created.error();
    }
    return SharedFolderFiles::systemError(QStringLiteral("cannot open %1").arg(name), EEXIST);
}

// Whether the name still stands for the file that was opened.
bool isStillAt(int folder, const QString &name, const struct stat &opened)
{
    struct stat now = {};
    return ::fstatat(folder, QFile::encodeName(name).constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
           now.st_dev == opened.st_dev && now.st_ino == opened.st_ino;
}

// The pid of the process that took the flock on the file, as the kernel lists it, or 0. A line
// reads "1: FLOCK  ADVISORY  WRITE 4242 08:02:131 0 EOF" (device numbers in hexadecimal); a
// waiter's reads "1: -> FLOCK ...".
qint64 holderPidOf(const struct stat &file)
{
    constexpr int kTypeField = 1;
    constexpr int kPidField = 4;
    constexpr int kFileField = 5;
    QFile locks(QString::fromLatin1(kKernelLockList));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray lockedFile =
        QString::asprintf("%02x:%02x:%llu", ::major(file.st_dev), ::minor(file.st_dev),
                          static_cast<unsigned long long>(file.st_ino))
            .toLatin1();
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > kFileField && fields.at(kTypeField) == "FLOCK" &&
            fields.at(kFileField) == lockedFile)
            return fields.at(kPidField).toLongLong();
    }
    return 0;
}

} // namespace

MonitorLock::MonitorLock(QString path)
    : m_path(std::move(path))
{}

MonitorLock::Attempt MonitorLock::tryLock()
{
    if (isHeld())
        return {State::Held, 0, {}};
    const QFileInfo place(m_path);
    const Result<FileDescriptor> folder = SharedFolderFiles::openFolder(place.path());
    if (!folder)
        return unusable(folder.error().description);
    return lockEntryOf(folder->get(), place.fileName());
}

MonitorLock::Attempt MonitorLock::lockEntryOf(int folder, const QString &name)
{
    for (int round = 0; round < kRaceRounds; ++round) {
        Result<FileDescriptor> file = openOrCreate(folder, name);
        if (!file)
            return unusable(reasonOf(file.error(), name));
        struct stat opened = {};
        if (::fstat(file->get(), &opened) != 0)
            return unusable(
                SharedFolderFiles::systemError(QStringLiteral("cannot read %1").arg(name), errno)
                    .description);
        // Another user's file would let him hold the lock for good, or take it away.
        if (!SharedFolderFiles::isTrustedOwner(opened.st_uid))
            return unusable(QStringLiteral("%1 belongs to user %2, who is neither root, the print "
                                           "queue's user nor this user; the installation makes it "
                                           "root's")
                                .arg(name)
                                .arg(opened.st_uid));
        // A hard link planted at the name may be another file.
        if (opened.st_nlink > 1)
            return unusable(
                QStringLiteral("%1 has other names (hard links), so it may be another file")
                    .arg(name));
        if (::flock(file->get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK)
                return {State::HeldByAnother, holderPidOf(opened), {}};
            return unusable(
                SharedFolderFiles::systemError(QStringLiteral("cannot lock %1").arg(name), errno)
                    .description);
        }
        if (!isStillAt(folder, name, opened))
            continue;
        m_file = std::move(file.value());
        return {State::Held, 0, {}};
    }
    return unusable(QStringLiteral("%1 is replaced again and again").arg(name));
}
