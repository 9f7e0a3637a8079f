#pragma once

// Removes one entry of an opened folder: a file, a link (never its target) or any other entry is
// unlinked; a folder is emptied first, level by level, each sub-folder opened with
// O_DIRECTORY|O_NOFOLLOW on the descriptor of the one above, so that the removal never follows a
// link and never leaves the folder it was given. An explicit stack of bounded depth stands in for
// recursion. Stateless; any thread.

#include "foundation/Error.h"

#include <QString>

class TreeRemoval
{
public:
    // Deeper folders are refused rather than walked: each level holds a descriptor.
    static constexpr int kMaximumDepth = 64;

    // Stops at the first entry that cannot be removed, and says which.
    static Result<Done> removeEntry(int folder, const QString &name);
};
