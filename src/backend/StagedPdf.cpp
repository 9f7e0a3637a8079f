#include "StagedPdf.h"

#include "BackendDefaults.h"
#include "EntryMover.h"
#include "SharedAccess.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

StagedPdf::StagedPdf(FileDescriptor folder, QString folderPath, QString jobName,
                     FileDescriptor file, QString partialName)
    : m_folder(std::move(folder))
    , m_folderPath(std::move(folderPath))
    , m_jobName(std::move(jobName))
    , m_file(std::move(file))
    , m_partialName(std::move(partialName))
{}

StagedPdf::~StagedPdf()
{
    // A moved-from one no longer holds the folder; an unnamed file goes with its descriptor.
    if (!m_folder.valid() || m_published || m_partialName.isNull())
        return;
    struct stat own = {};
    if (m_file.valid() && ::fstat(m_file.get(), &own) == 0)
        SharedFolderFiles::removeCheckedFile(m_folder.get(), m_partialName, own);
}

QString StagedPdf::description() const
{
    if (m_partialName.isNull())
        return QStringLiteral("the unnamed staged PDF in %1").arg(m_folderPath);
    return QStringLiteral("%1/%2").arg(m_folderPath, m_partialName);
}

Result<Done> StagedPdf::publish()
{
    struct stat own = {};
    if (::fstat(m_file.get(), &own) != 0)
        return inFolder(SharedFolderFiles::systemError(
            QStringLiteral("cannot read %1").arg(description()), errno));
    // Written with the narrow staging mode, so that no other user could open (or lock) it
    // meanwhile; the monitor of every user reads it once it has its job name.
    if (const Result<Done> shared =
            SharedFolderFiles::setMode(m_file.get(), BackendDefaults::kPublishedPdfMode);
        !shared)
        return inFolder(shared.error());
    if (const Result<Done> linked = linkAtJobName(); !linked)
        return linked;
    if (!m_partialName.isNull())
        SharedFolderFiles::removeCheckedFile(m_folder.get(), m_partialName, own);
    struct stat published = {};
    if (::fstat(m_file.get(), &published) != 0 || published.st_nlink != 1)
        return unpublish(own);
    m_published = true;
    // Closed (and unlocked) only now, so that no sweep could take it before.
    m_file.reset();
    return Done{};
}

Result<Done> StagedPdf::linkAtJobName()
{
    for (int attempt = 1;; ++attempt) {
        const Result<Done> linked =
            SharedFolderFiles::linkFile(m_file.get(), m_folder.get(), m_jobName);
        if (linked)
            return linked;
        if (linked.error().code != EEXIST || attempt == kPublishAttempts)
            return inFolder(linked.error());
        const Result<QString> moved = EntryMover::moveAside(m_folder.get(), m_jobName);
        if (!moved)
            return inFolder(moved.error());
        if (!moved->isNull())
            removeOwnStale(moved.value());
    }
}

void StagedPdf::removeOwnStale(const QString &asideName) const
{
    const Result<SharedFolderFiles::EntryStatus> entry =
        SharedFolderFiles::entryStatus(m_folder.get(), asideName);
    if (entry && S_ISREG(entry->status.st_mode) && entry->status.st_uid == ::geteuid())
        SharedFolderFiles::removeCheckedFile(m_folder.get(), asideName, entry->status);
}

Result<Done> StagedPdf::unpublish(const struct stat &own)
{
    SharedFolderFiles::removeCheckedFile(m_folder.get(), m_jobName, own);
    // Whoever holds the other name must not read it either.
    SharedFolderFiles::setMode(m_file.get(), BackendDefaults::kStagingFileMode);
    return inFolder(SharedFolderFiles::systemError(
        QStringLiteral("%1 was given another name while it was written; not published")
            .arg(description()),
        EMLINK));
}

Error StagedPdf::inFolder(const Error &error) const
{
    return SharedAccess::inFolder(m_folderPath, error);
}
