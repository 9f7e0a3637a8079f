#include "SharedAccess.h"

#include "BackendDefaults.h"

#include <QFile>

#include <sys/stat.h>

#include <cerrno>

Result<FileDescriptor> SharedAccess::makeFolder(const QString &path)
{
    // mkdir never follows a link standing at the name; it reports the name as taken.
    const bool made =
        ::mkdir(QFile::encodeName(path).constData(), BackendDefaults::kSharedFolderMode) == 0;
    // Another job may make the same folder at the same moment.
    if (!made && errno != EEXIST)
        return SharedFolderFiles::systemError(
            QStringLiteral("cannot create the folder %1").arg(path), errno);
    Result<FileDescriptor> folder = SharedFolderFiles::openFolder(path);
    if (folder && made) {
        if (auto mode =
                SharedFolderFiles::setMode(folder->get(), BackendDefaults::kSharedFolderMode);
            !mode) {
            return SharedFolderFiles::systemError(
                QStringLiteral("cannot set the mode of %1").arg(path), mode.error().code);
        }
    }
    return folder;
}

Error SharedAccess::inFolder(const QString &folder, const Error &error)
{
    return Error{error.domain, error.code, QStringLiteral("%1: %2").arg(folder, error.description)};
}
