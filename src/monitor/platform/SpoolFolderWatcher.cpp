#include "SpoolFolderWatcher.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStringList>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
// The folder itself went away (removed while nobody else had it open, unmounted) and the watch
// with it.
constexpr uint32_t kLostEvents = IN_DELETE_SELF | IN_UNMOUNT | IN_IGNORED;
// An opened folder that is removed reports nothing itself while its descriptor is open, so its
// name in the folder above is watched too: any change there (or a move of the folder itself)
// makes the watcher check that the path still leads to the opened folder.
constexpr uint32_t kParentEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
// Room for many events per read; one event is at most the header plus NAME_MAX + 1.
constexpr size_t kReadBufferSize = 64 * (sizeof(inotify_event) + NAME_MAX + 1);

} // namespace

SpoolFolderWatcher::SpoolFolderWatcher(QObject *parent)
    : QObject(parent)
{}

SpoolFolderWatcher::~SpoolFolderWatcher()
{
    stop();
}

bool SpoolFolderWatcher::start(int folder, const QString &path)
{
    stop();
    m_descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_descriptor < 0)
        return false;
    m_folder = folder;
    m_path = QFile::encodeName(path);
    m_name = QFile::encodeName(QFileInfo(path).fileName());
    // inotify takes a path only. The folder's own path may lead elsewhere by now (a link or another
    // folder put there); the descriptor's entry in /proc is the kernel's own link to the opened
    // folder itself, so following it watches exactly the folder every other step works in.
    const QByteArray opened = "/proc/self/fd/" + QByteArray::number(folder);
    m_folderWatch =
        inotify_add_watch(m_descriptor, opened.constData(),
                          kEntryEvents | IN_CLOSE_WRITE | IN_MOVE_SELF | kLostEvents | IN_ONLYDIR);
    // The folder above only tells when to look again; what counts is the check on the descriptor.
    m_parentWatch =
        inotify_add_watch(m_descriptor, QFile::encodeName(QFileInfo(path).path()).constData(),
                          kParentEvents | IN_ONLYDIR);
    if (m_folderWatch < 0 || m_parentWatch < 0 || !isStillAtPath()) {
        stop();
        return false;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Read, this);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SpoolFolderWatcher::readEvents);
    return true;
}

bool SpoolFolderWatcher::isStillAtPath() const
{
    struct stat opened = {};
    struct stat atPath = {};
    return ::fstat(m_folder, &opened) == 0 &&
           ::fstatat(AT_FDCWD, m_path.constData(), &atPath, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(atPath.st_mode) && atPath.st_dev == opened.st_dev &&
           atPath.st_ino == opened.st_ino;
}

void SpoolFolderWatcher::stop()
{
    m_notifier.reset();
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
    m_folderWatch = -1;
    m_parentWatch = -1;
}

void SpoolFolderWatcher::readEvents()
{
    bool changed = false;
    bool lost = false;
    bool recheck = false;
    QStringList closedFiles;
    alignas(inotify_event) char buffer[kReadBufferSize];
    for (;;) {
        const ssize_t length = ::read(m_descriptor, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length;) {
            inotify_event event;
            std::memcpy(&event, buffer + offset, sizeof event);
            const char *name = buffer + offset + sizeof(inotify_event);
            offset += ssize_t(sizeof(inotify_event) + event.len);
            if (event.mask & IN_Q_OVERFLOW) {
                // A lost queue may have hidden new entries or the folder's removal.
                changed = true;
                recheck = true;
                continue;
            }
            if (event.wd == m_parentWatch) {
                if (event.len == 0 || m_name == name)
                    recheck = true;
                continue;
            }
            if (event.mask & kEntryEvents)
                changed = true;
            if ((event.mask & IN_CLOSE_WRITE) && event.len > 0)
                closedFiles.append(QFile::decodeName(name));
            if (event.mask & IN_MOVE_SELF)
                recheck = true;
            if (event.mask & kLostEvents)
                lost = true;
        }
    }
    if (lost || (recheck && !isStillAtPath())) {
        // Not destroyed here: this runs inside the notifier's own signal.
        m_notifier->setEnabled(false);
        Q_EMIT watchLost();
        return;
    }
    // The listing comes first, so that a file both created and closed in this batch already has
    // its wait when the close is reported.
    if (changed)
        Q_EMIT folderChanged();
    for (const QString &name : std::as_const(closedFiles))
        Q_EMIT fileClosedAfterWrite(name);
}
