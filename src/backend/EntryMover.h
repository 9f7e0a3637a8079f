#pragma once

// Moves an entry that stands in the way of one of the backend's names (planted there by another
// user, or left by an earlier job) aside within its folder, under a hidden name with an
// unguessable part and the ending ".moved": no program takes it for a job, a partial file or a
// database side file, and the entry is kept as it was, never opened, followed or emptied. The
// rename never replaces an entry at the new name. Plain function on the folder's descriptor, any
// thread.

#include "foundation/Error.h"

#include <QString>

class EntryMover
{
public:
    // New names tried when the one picked is taken.
    static constexpr int kMoveAttempts = 8;

    // The name the entry now has; a null text when nothing stood at the name any more.
    static Result<QString> moveAside(int folder, const QString &name);
};
