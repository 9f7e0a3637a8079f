#pragma once

// Folders and files the backend shares with every user's monitor. CUPS runs backends with a
// restrictive umask, so modes are set explicitly rather than left to creation. Plain functions,
// any thread.

#include "foundation/Error.h"

#include <QString>

#include <sys/types.h>

class SharedAccess
{
public:
    // Makes the folder and any missing parents; each folder made here gets the shared folder mode.
    static Result<Done> makeFolder(const QString &path);

    // Adds the permission bits of the mode to the file's own, never removing any.
    static Result<Done> grantMode(const QString &path, mode_t mode);

    // An error describing what failed, with the system's reason for errno.
    static Error systemError(const QString &what, int errorNumber);
};
