#include "MonitorLock.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Other monitors (or other users) may change the entry between two of our steps: made between a
// failed open and the create, or replaced between the open and the lock. A few rounds each.
constexpr int kRaceRounds = 3;
// A pid's text is far shorter; a longer text is no pid.
constexpr qsizetype kPidTextLimit = 32;

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

// The entry opened for reading and writing; made, with the shared mode, when missing.
Result<FileDescriptor> openOrCreate(int folder, const QString &name)
{
    for (int round = 0; round < kRaceRounds; ++round) {
        Result<FileDescriptor> opened = SharedFolderFiles::openRegularFile(folder, name, O_RDWR);
        if (opened || opened.error().code != ENOENT)
            return opened;
        Result<FileDescriptor> created =
            SharedFolderFiles::createFile(folder, name, MonitorLock::kMode, true);
        if (created || created.error().code != EEXIST)
            return created;
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

qint64 holderPidIn(int file)
{
    char text[kPidTextLimit];
    const ssize_t length = ::pread(file, text, sizeof text, 0);
    if (length <= 0)
        return 0;
    bool isNumber = false;
    const qint64 pid = QByteArray(text, qsizetype(length)).trimmed().toLongLong(&isNumber);
    return isNumber && pid > 0 ? pid : 0;
}

// Only the waiting monitors read it: a failure leaves them without the holder's pid, nothing more.
void writePid(int file)
{
    const QByteArray text = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(file, 0) == 0) {
        [[maybe_unused]] const ssize_t written =
            ::pwrite(file, text.constData(), size_t(text.size()), 0);
    }
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
        // A hard link planted at the name would have the pid written into another file.
        if (opened.st_nlink > 1)
            return unusable(
                QStringLiteral("%1 has other names (hard links), so it may be another file")
                    .arg(name));
        if (::flock(file->get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK)
                return {State::HeldByAnother, holderPidIn(file->get()), {}};
            return unusable(
                SharedFolderFiles::systemError(QStringLiteral("cannot lock %1").arg(name), errno)
                    .description);
        }
        if (!isStillAt(folder, name, opened))
            continue;
        writePid(file->get());
        m_file = std::move(file.value());
        return {State::Held, 0, {}};
    }
    return unusable(QStringLiteral("%1 is replaced again and again").arg(name));
}
