#pragma once

// Reaches what a path names without following a link at any step: from "/" (or the working folder
// for a relative path) each folder of the path is opened with O_DIRECTORY|O_NOFOLLOW on the
// descriptor of the one before, and the last component is left to the caller, who acts on it with
// the *at calls on its folder's descriptor. A link anywhere on the way is refused with ELOOP and
// named; a ".." component is refused, so that a walk never climbs out of where its path leads.
// Stateless; any thread.

#include "foundation/Error.h"
#include "foundation/SharedFolderFiles.h"

#include <QString>

#include <sys/types.h>

class NoFollowPath
{
public:
    // The mode asked for folders made on the way; the umask narrows it, as for any new folder.
    static constexpr mode_t kMadeFolderMode = 0777;

    enum class Missing {
        Fail,
        Make,
    };

    // The folder that holds the path's last component, and that component.
    struct Place
    {
        FileDescriptor folder;
        QString name;
    };

    // With Missing::Make, folders missing on the way are made.
    static Result<Place> placeOf(const QString &path, Missing missing = Missing::Fail);
    // The folder at the path itself; with Missing::Make, made with its missing parents.
    static Result<FileDescriptor> openFolder(const QString &path, Missing missing = Missing::Fail);
    // The folder entry of an opened folder, never a link to one.
    static Result<FileDescriptor> openChildFolder(int folder, const QString &name,
                                                  Missing missing = Missing::Fail);
};
