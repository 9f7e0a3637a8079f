#include "PublishedPdfCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/eventfd.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>

namespace {

constexpr mode_t kCopyMode = 0644;
constexpr qsizetype kCopyBlockSize = 1024 * 1024;
constexpr size_t kEventBufferSize = 4096;
constexpr size_t kLinkTargetSize = 4096;
constexpr auto kPlantingUser = "nobody";
// Stands for "no such user": then no file is skipped for its owner.
constexpr uid_t kNoUser = uid_t(-1);

uid_t uidOf(const char *user)
{
    const passwd *entry = ::getpwnam(user);
    return entry ? entry->pw_uid : kNoUser;
}

bool isOwnedBy(int descriptor, uid_t user)
{
    struct stat status = {};
    return user != kNoUser && ::fstat(descriptor, &status) == 0 && status.st_uid == user;
}

// The path the descriptor was opened at, as this process sees it.
QString pathOf(int descriptor)
{
    std::array<char, kLinkTargetSize> target{};
    const QByteArray link = QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(descriptor);
    const ssize_t length = ::readlink(link.constData(), target.data(), target.size() - 1);
    return length > 0 ? QFile::decodeName(QByteArray(target.data(), length)) : QString();
}

} // namespace

PublishedPdfCapture::PublishedPdfCapture(QString spoolFolder, QString copyFolder)
    : m_spoolFolder(QDir::cleanPath(spoolFolder))
    , m_copyFolder(std::move(copyFolder))
    , m_plantingUser(uidOf(kPlantingUser))
{}

PublishedPdfCapture::~PublishedPdfCapture()
{
    stop();
}

Result<Done> PublishedPdfCapture::start()
{
    m_marks.reset(::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC | FAN_NONBLOCK,
                                  O_RDONLY | O_CLOEXEC | O_LARGEFILE));
    if (!m_marks.valid())
        return SharedFolderFiles::systemError(
            QStringLiteral("cannot watch the opens in %1 (fanotify needs root)").arg(m_spoolFolder),
            errno);
    // Opens of the folder's files only, not of the folder itself (no FAN_ONDIR).
    if (::fanotify_mark(m_marks.get(), FAN_MARK_ADD, FAN_OPEN_PERM | FAN_EVENT_ON_CHILD, AT_FDCWD,
                        QFile::encodeName(m_spoolFolder).constData()) != 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot mark %1").arg(m_spoolFolder),
                                              errno);
    m_wakeUp.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_wakeUp.valid())
        return SharedFolderFiles::systemError(
            QStringLiteral("cannot make the capture's wake-up descriptor"), errno);
    m_worker = std::thread([this] { answerOpens(); });
    return Done{};
}

void PublishedPdfCapture::stop()
{
    if (m_worker.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeUp.get(), &one, sizeof one);
        m_worker.join();
    }
    // Closing the group lets every open it still holds go on.
    m_marks.reset();
    m_wakeUp.reset();
}

void PublishedPdfCapture::answerOpens()
{
    alignas(fanotify_event_metadata) std::array<char, kEventBufferSize> buffer{};
    for (;;) {
        std::array<pollfd, 2> watched{pollfd{m_marks.get(), POLLIN, 0},
                                      pollfd{m_wakeUp.get(), POLLIN, 0}};
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[1].revents != 0)
            return;
        ssize_t length = ::read(m_marks.get(), buffer.data(), buffer.size());
        if (length <= 0)
            continue;
        const auto *event = reinterpret_cast<const fanotify_event_metadata *>(buffer.data());
        for (; FAN_EVENT_OK(event, length); event = FAN_EVENT_NEXT(event, length)) {
            if (event->fd < 0)
                continue;
            if (event->mask & FAN_OPEN_PERM)
                answer(event->fd);
            ::close(event->fd);
        }
    }
}

void PublishedPdfCapture::answer(int eventDescriptor)
{
    static const QRegularExpression publishedName(QStringLiteral("^(\\d+)\\.pdf$"));
    const QFileInfo opened(pathOf(eventDescriptor));
    const QRegularExpressionMatch published = publishedName.match(opened.fileName());
    if (opened.path() == m_spoolFolder && published.hasMatch() &&
        !isOwnedBy(eventDescriptor, m_plantingUser)) {
        const qint64 jobId = published.captured(1).toLongLong();
        const bool taken = [&] {
            const QMutexLocker lock(&m_mutex);
            return m_copies.contains(jobId);
        }();
        if (!taken) {
            const Result<Done> copied = copy(eventDescriptor, opened.fileName());
            const QMutexLocker lock(&m_mutex);
            if (copied)
                m_copies.insert(jobId, m_copyFolder + u'/' + opened.fileName());
            else
                m_failures << copied.error().description;
        }
    }
    const fanotify_response allow{eventDescriptor, FAN_ALLOW};
    [[maybe_unused]] const ssize_t written = ::write(m_marks.get(), &allow, sizeof allow);
}

Result<Done> PublishedPdfCapture::copy(int source, const QString &name) const
{
    const Result<FileDescriptor> folder = SharedFolderFiles::openFolder(m_copyFolder);
    if (!folder)
        return folder.error();
    const Result<FileDescriptor> target =
        SharedFolderFiles::createFile(folder->get(), name, kCopyMode);
    if (!target)
        return target.error();
    QByteArray block(kCopyBlockSize, Qt::Uninitialized);
    off_t offset = 0;
    for (;;) {
        const ssize_t length = ::pread(source, block.data(), size_t(block.size()), offset);
        if (length < 0)
            return SharedFolderFiles::systemError(
                QStringLiteral("cannot read the published %1").arg(name), errno);
        if (length == 0)
            return Done{};
        for (ssize_t written = 0; written < length;) {
            const ssize_t step =
                ::write(target->get(), block.constData() + written, size_t(length - written));
            if (step < 0)
                return SharedFolderFiles::systemError(
                    QStringLiteral("cannot write the copy of %1").arg(name), errno);
            written += step;
        }
        offset += length;
    }
}

QString PublishedPdfCapture::copyOf(qint64 jobId) const
{
    const QMutexLocker lock(&m_mutex);
    return m_copies.value(jobId);
}

QStringList PublishedPdfCapture::failures() const
{
    const QMutexLocker lock(&m_mutex);
    return m_failures;
}
