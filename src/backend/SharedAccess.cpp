#include "SharedAccess.h"

#include "BackendDefaults.h"

Result<FileDescriptor> SharedAccess::makeFolder(const QString &path)
{
    return SharedFolderFiles::makeOwnedFolder(path, BackendDefaults::kSharedFolderMode);
}

Result<FileDescriptor> SharedAccess::makeRoot(const QString &path)
{
    return SharedFolderFiles::makeOwnedFolder(path, BackendDefaults::kSpoolRootMode);
}

Error SharedAccess::inFolder(const QString &folder, const Error &error)
{
    return Error{error.domain, error.code, QStringLiteral("%1: %2").arg(folder, error.description)};
}
