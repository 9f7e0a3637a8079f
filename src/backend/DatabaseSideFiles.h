#pragma once

// The job table's file itself must be one of the trusted owners' (a regular file with one link):
// anything else at its name (another user's copy put in its place, which this backend could not
// write, a link, a folder) is moved aside (EntryMover), never opened, and a new table is made.
// SQLite keeps side files beside the job table (its rollback journal, and the write-ahead log and
// its index where that mode is on). Every local user can write to the database folder, and SQLite
// refuses to open a side file through a link, so an entry planted at one of those names would fail
// every job's row for good. Before the table is opened, each side file's name is looked at without
// following it: a regular file is SQLite's own (a hot journal among them) and is left alone; a
// folder, which cannot be removed safely, is moved aside (EntryMover); a link or any other kind of
// entry is removed (the entry itself, never what it names). Plain function on the folder's
// descriptor, any thread.

#include "foundation/Error.h"

#include <QString>

class DatabaseSideFiles
{
public:
    // Clears the database's name and its side file names in the folder of anything SQLite cannot
    // or must not use.
    static Result<Done> clearPlanted(int folder, const QString &databaseName);
};
