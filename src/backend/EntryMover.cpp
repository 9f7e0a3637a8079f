#include "EntryMover.h"

#include "UnguessableName.h"

#include "foundation/SharedFolderFiles.h"

#include <QFile>

#include <fcntl.h>

#include <cerrno>
#include <cstdio>

Result<QString> EntryMover::moveAside(int folder, const QString &name)
{
    const QByteArray encoded = QFile::encodeName(name);
    int code = EEXIST;
    for (int attempt = 0; attempt < kMoveAttempts && code == EEXIST; ++attempt) {
        const QString aside = UnguessableName::make(u'.' + name + u'.', QStringLiteral(".moved"));
        if (::renameat2(folder, encoded.constData(), folder, QFile::encodeName(aside).constData(),
                        RENAME_NOREPLACE) == 0)
            return aside;
        if (errno == ENOENT)
            return QString();
        code = errno;
    }
    return SharedFolderFiles::systemError(
        QStringLiteral("cannot move the entry at %1 aside").arg(name), code);
}
