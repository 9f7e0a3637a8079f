#pragma once

// The permission bits of a path, for tests of the modes the monitor gives shared files.

#include <QFile>
#include <QString>

#include <sys/stat.h>

inline unsigned fileModeOf(const QString &path)
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}
