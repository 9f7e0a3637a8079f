#include "CheckedFolder.h"

CheckedFolder::CheckedFolder(QString path, FileDescriptor descriptor)
    : m_path(std::move(path))
    , m_descriptor(std::move(descriptor))
{}

Result<CheckedFolder> CheckedFolder::checked(const QString &path, Result<FileDescriptor> opened)
{
    if (!opened)
        return opened.error();
    return CheckedFolder(path, std::move(opened.value()));
}

Result<CheckedFolder> CheckedFolder::open(const QString &path)
{
    return checked(path, SharedFolderFiles::openOwnedFolder(path));
}

Result<CheckedFolder> CheckedFolder::openOrMake(const QString &path, mode_t mode)
{
    return checked(path, SharedFolderFiles::makeOwnedFolder(path, mode));
}

QString CheckedFolder::filePath(const QString &name) const
{
    return QStringLiteral("%1/%2").arg(m_path, name);
}
