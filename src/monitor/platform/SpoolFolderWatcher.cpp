#include "SpoolFolderWatcher.h"

#include <QFile>
#include <QSocketNotifier>
#include <QStringList>

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
// The folder itself went away (removed, unmounted) and the watch with it: a folder made again at
// the path is not watched. A folder moved away is still watched where it went, and its path
// cannot be listed until it comes back.
constexpr uint32_t kLostEvents = IN_DELETE_SELF | IN_UNMOUNT | IN_IGNORED;
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

bool SpoolFolderWatcher::start(const QString &folder)
{
    stop();
    m_descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_descriptor < 0)
        return false;
    const QByteArray path = QFile::encodeName(folder);
    if (inotify_add_watch(m_descriptor, path.constData(),
                          kEntryEvents | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_ONLYDIR) < 0) {
        stop();
        return false;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Read, this);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SpoolFolderWatcher::readEvents);
    return true;
}

void SpoolFolderWatcher::stop()
{
    m_notifier.reset();
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}

void SpoolFolderWatcher::readEvents()
{
    bool changed = false;
    bool lost = false;
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
            // A lost queue may have hidden new entries: let the listing find out.
            if (event.mask & (kEntryEvents | IN_Q_OVERFLOW))
                changed = true;
            if ((event.mask & IN_CLOSE_WRITE) && event.len > 0)
                closedFiles.append(QFile::decodeName(name));
            if (event.mask & kLostEvents)
                lost = true;
        }
    }
    if (lost) {
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
