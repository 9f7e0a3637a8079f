#include "DatabaseSideFiles.h"

#include "EntryMover.h"

#include "foundation/SharedFolderFiles.h"

#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

QStringList sideFileNames(const QString &databaseName)
{
    return {databaseName + QStringLiteral("-journal"), databaseName + QStringLiteral("-wal"),
            databaseName + QStringLiteral("-shm")};
}

} // namespace

Result<Done> DatabaseSideFiles::clearPlanted(int folder, const QString &databaseName)
{
    struct stat database = {};
    if (::fstatat(folder, QFile::encodeName(databaseName).constData(), &database,
                  AT_SYMLINK_NOFOLLOW) == 0 &&
        !SharedFolderFiles::isTrustedFile(database)) {
        if (const Result<QString> moved = EntryMover::moveAside(folder, databaseName); !moved)
            return moved.error();
    }
    for (const QString &name : sideFileNames(databaseName)) {
        const QByteArray encoded = QFile::encodeName(name);
        struct stat entry = {};
        if (::fstatat(folder, encoded.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue;
            return SharedFolderFiles::systemError(QStringLiteral("cannot look at %1").arg(name),
                                                  errno);
        }
        if (S_ISREG(entry.st_mode))
            continue;
        if (S_ISDIR(entry.st_mode)) {
            if (const Result<QString> moved = EntryMover::moveAside(folder, name); !moved)
                return moved.error();
            continue;
        }
        // Unlinking a link removes the link alone.
        if (::unlinkat(folder, encoded.constData(), 0) != 0 && errno != ENOENT)
            return SharedFolderFiles::systemError(
                QStringLiteral("cannot remove the entry planted at %1").arg(name), errno);
    }
    return Done{};
}
