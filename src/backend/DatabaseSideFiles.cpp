#include "DatabaseSideFiles.h"

#include "UnguessableName.h"

#include "foundation/SharedFolderFiles.h"

#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// New names tried when the one picked is taken.
constexpr int kMoveAttempts = 8;

QStringList sideFileNames(const QString &databaseName)
{
    return {databaseName + QStringLiteral("-journal"), databaseName + QStringLiteral("-wal"),
            databaseName + QStringLiteral("-shm")};
}

} // namespace

Result<Done> DatabaseSideFiles::clearPlanted(int folder, const QString &databaseName)
{
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
            if (const Result<Done> moved = moveAside(folder, name); !moved)
                return moved;
            continue;
        }
        // Unlinking a link removes the link alone.
        if (::unlinkat(folder, encoded.constData(), 0) != 0 && errno != ENOENT)
            return SharedFolderFiles::systemError(
                QStringLiteral("cannot remove the entry planted at %1").arg(name), errno);
    }
    return Done{};
}

Result<Done> DatabaseSideFiles::moveAside(int folder, const QString &name)
{
    const QByteArray encoded = QFile::encodeName(name);
    int code = EEXIST;
    for (int attempt = 0; attempt < kMoveAttempts && code == EEXIST; ++attempt) {
        const QByteArray aside =
            QFile::encodeName(UnguessableName::make(u'.' + name + u'.', QStringLiteral(".moved")));
        // Never over an entry at the new name.
        if (::renameat2(folder, encoded.constData(), folder, aside.constData(), RENAME_NOREPLACE) ==
                0 ||
            errno == ENOENT)
            return Done{};
        code = errno;
    }
    return SharedFolderFiles::systemError(
        QStringLiteral("cannot move the folder planted at %1 aside").arg(name), code);
}
