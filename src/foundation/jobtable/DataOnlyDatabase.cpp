#include "DataOnlyDatabase.h"

#include <sqlite3.h>

namespace {

void setOption(SQLite::Database &database, int option, int value)
{
    const int status =
        ::sqlite3_db_config(database.getHandle(), option, value, static_cast<int *>(nullptr));
    if (status != SQLITE_OK)
        throw SQLite::Exception("cannot make the job table data only", status);
}

} // namespace

void DataOnlyDatabase::configure(SQLite::Database &database)
{
    setOption(database, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0);
    setOption(database, SQLITE_DBCONFIG_ENABLE_VIEW, 0);
    setOption(database, SQLITE_DBCONFIG_DEFENSIVE, 1);
    database.exec("PRAGMA trusted_schema=OFF");
}
