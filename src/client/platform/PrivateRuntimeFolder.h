#pragma once

// A folder for one user's sockets and locks that belongs to that user alone: owned by the user
// and writable by nobody else, so that no other user can plant, replace or take an entry in it.
// open() makes the folder (mode 0700) when it is missing, opens it without following a link and
// checks owner and mode on the open descriptor. Entries are then reached through that descriptor
// (path()), never through the folder's name again. A value; any thread.

#include "foundation/Error.h"
#include "foundation/SharedFolderFiles.h"

#include <QString>

#include <sys/types.h>

class PrivateRuntimeFolder
{
public:
    static constexpr mode_t kMode = 0700;
    static constexpr auto kErrorDomain = "PrivateRuntimeFolder";

    // Opens and checks the folder, making it first when it is missing (its parent must exist).
    // Refuses a link, anything but a folder, a folder of another owner than the user, and a
    // folder that group or others may write.
    static Result<PrivateRuntimeFolder> open(const QString &path, uid_t user);

    // A path that names the checked folder itself, through its open descriptor.
    QString path() const;

private:
    explicit PrivateRuntimeFolder(FileDescriptor folder);

    FileDescriptor m_folder;
};
