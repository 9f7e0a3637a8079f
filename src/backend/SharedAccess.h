#pragma once

// The folders the backend shares with every user's monitor. Every local user can write to the
// spool tree, so an entry found there may have been planted: a folder is opened only when it is a
// folder itself, never through a link, owned by root or by the user the backend runs as (lp under
// CUPS), and its mode is set through that descriptor. CUPS runs
// backends with a restrictive umask, so a folder made here gets the shared mode explicitly. Plain
// functions, any thread.

#include "foundation/Error.h"
#include "foundation/SharedFolderFiles.h"

#include <QString>

class SharedAccess
{
public:
    // Opens the folder, making it first (its parent must exist) when it is missing. A folder made
    // here gets the shared folder mode; one that exists keeps its own. A link, any other entry at
    // the name or another user's folder is refused.
    static Result<FileDescriptor> makeFolder(const QString &path);
    // The same for the spool root, which gets the sticky root mode when it is made here.
    static Result<FileDescriptor> makeRoot(const QString &path);

    // The error with the folder it happened in named first.
    static Error inFolder(const QString &folder, const Error &error);
};
