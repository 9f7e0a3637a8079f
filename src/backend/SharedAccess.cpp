#include "SharedAccess.h"

#include "BackendDefaults.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

Result<Done> SharedAccess::makeFolder(const QString &path)
{
    const QString cleaned = QFileInfo(path).absoluteFilePath();
    // The missing levels, deepest first.
    QStringList missing;
    for (QString level = cleaned; !QFileInfo::exists(level);
         level = QFileInfo(level).absolutePath()) {
        missing.prepend(level);
    }
    const QString existing =
        missing.isEmpty() ? cleaned : QFileInfo(missing.first()).absolutePath();
    if (!QFileInfo(existing).isDir())
        return systemError(QStringLiteral("cannot create the folder %1").arg(cleaned), ENOTDIR);
    for (const QString &level : std::as_const(missing)) {
        const QByteArray name = QFile::encodeName(level);
        // Another job may make the same folder at the same moment.
        if (::mkdir(name.constData(), BackendDefaults::kSharedFolderMode) != 0 && errno != EEXIST)
            return systemError(QStringLiteral("cannot create the folder %1").arg(level), errno);
        if (::chmod(name.constData(), BackendDefaults::kSharedFolderMode) != 0)
            return systemError(QStringLiteral("cannot set the mode of %1").arg(level), errno);
    }
    return Done{};
}

Result<Done> SharedAccess::grantMode(const QString &path, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    if (::stat(name.constData(), &status) != 0)
        return systemError(QStringLiteral("cannot read the mode of %1").arg(path), errno);
    const mode_t wanted = (status.st_mode & 07777) | mode;
    if (wanted != (status.st_mode & 07777) && ::chmod(name.constData(), wanted) != 0)
        return systemError(QStringLiteral("cannot set the mode of %1").arg(path), errno);
    return Done{};
}

Error SharedAccess::systemError(const QString &what, int errorNumber)
{
    return Error{
        QString::fromLatin1(BackendDefaults::kErrorDomain), errorNumber,
        QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errorNumber)))};
}
