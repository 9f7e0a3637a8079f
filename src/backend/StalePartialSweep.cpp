#include "StalePartialSweep.h"

#include "PartialFileName.h"

#include "foundation/SharedFolderFiles.h"

#include <QFile>
#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace {

QStringList partialNames(int folder)
{
    // fdopendir takes the descriptor it is given, so the listing gets one of its own.
    const int listed = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (listed < 0)
        return {};
    DIR *listing = ::fdopendir(listed);
    if (!listing) {
        FileDescriptor unused(listed);
        return {};
    }
    QStringList names;
    while (const dirent *entry = ::readdir(listing)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (PartialFileName::isPartial(name))
            names.append(name);
    }
    ::closedir(listing);
    return names;
}

} // namespace

void StalePartialSweep::removeStale(int folder)
{
    for (const QString &name : partialNames(folder)) {
        const Result<FileDescriptor> file =
            SharedFolderFiles::openRegularFile(folder, name, O_RDONLY);
        if (!file)
            continue;
        if (::flock(file->get(), LOCK_EX | LOCK_NB) != 0)
            continue; // its writer is still at work
        struct stat locked = {};
        if (::fstat(file->get(), &locked) == 0)
            SharedFolderFiles::removeCheckedFile(folder, name, locked);
    }
}
