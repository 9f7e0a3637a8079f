#include "CopyFolder.h"

#include "PRTools.h"

#include <QFileInfo>

#include <sys/stat.h>

Result<CheckedFolder> CopyFolder::make(const QString &path)
{
    // The folders above may be links (/tmp may be one); the copy folder itself never is.
    const QString parent = QFileInfo(path).path();
    if (!PRTools::isExistsAtPath(parent)) {
        if (const Result<Done> made = PRTools::createDirectoryAtPath(parent); !made)
            return made.error();
    }
    return CheckedFolder::openOrMake(path, kFolderMode);
}

CopyFolder::CopyFolder(const CheckedFolder &openedAtStart)
    // Not owned: the start-up keeps it for the life of the monitor.
    : m_current(std::shared_ptr<const CheckedFolder>(), &openedAtStart)
{}

std::shared_ptr<const CheckedFolder> CopyFolder::current() const
{
    const std::lock_guard lock(m_mutex);
    return m_current;
}

bool CopyFolder::isRemoved(const CheckedFolder &folder)
{
    struct stat status = {};
    return ::fstat(folder.descriptor(), &status) == 0 && status.st_nlink == 0;
}

Result<std::shared_ptr<const CheckedFolder>>
CopyFolder::remake(const std::shared_ptr<const CheckedFolder> &removed)
{
    const std::lock_guard lock(m_mutex);
    if (m_current != removed || !isRemoved(*m_current))
        return m_current;
    Result<CheckedFolder> made = make(m_current->path());
    if (!made)
        return made.error();
    m_current = std::make_shared<const CheckedFolder>(std::move(made.value()));
    return m_current;
}
