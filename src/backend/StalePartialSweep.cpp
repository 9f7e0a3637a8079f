#include "StalePartialSweep.h"

#include "PartialFileName.h"

#include "foundation/SharedFolderFiles.h"

#include <QStringList>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

void StalePartialSweep::removeStale(int folder)
{
    const Result<QStringList> names = SharedFolderFiles::entryNames(folder);
    if (!names)
        return;
    for (const QString &name : names.value()) {
        if (!PartialFileName::isPartial(name))
            continue;
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
