#pragma once

// The settings under which both programs use the job table's file. Every local user may write
// that file, so its schema may carry another user's triggers, views or functions: a connection
// configured here runs none of them (no triggers, no views, no function the schema names that is
// not harmless), and no statement can corrupt the file itself. Applied before any statement reads
// the schema. Stateless; any thread.

#include <SQLiteCpp/Database.h>

class DataOnlyDatabase
{
public:
    // Throws SQLite::Exception when SQLite refuses a setting.
    static void configure(SQLite::Database &database);
};
