#pragma once

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
    // Clears the side file names of the database in the folder of anything SQLite cannot use.
    static Result<Done> clearPlanted(int folder, const QString &databaseName);
};
