#pragma once

// Owns the one connection to the job database. Blocks run one at a time under the helper's lock,
// on the calling thread, so callers on any thread take turns and wait for their work. A block must
// not call back into the same helper: the connection is not re-entrant, and a nested call is
// refused. sharedInstance() opens the fixed file on first use and lives for the process; tests
// construct helpers on folders of their own.
// Every local user may write the file and its folder, so the table is data, never code: the
// connection never follows a link, runs no triggers, reads no views, trusts no function the
// schema names and refuses to change the schema's own records (defensive mode). Before each
// operation it makes sure the file at the table's name is still the one it opened (device and
// inode); when another file has taken the name, it opens that one.

#include "foundation/Error.h"
#include "foundation/JobDatabase.h"

#include <QString>

#include <SQLiteCpp/Database.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <sys/types.h>

class DataBaseHelper
{
public:
    static constexpr auto kFileName = JobDatabase::kFileName;
    // How long a statement waits for a lock held by another process (the print backend).
    static constexpr std::chrono::milliseconds kBusyTimeout{2000};
    // Domain of the errors below; their code is SQLite's (extended) result code.
    static constexpr auto kErrorDomain = "SQLite";

    static DataBaseHelper &sharedInstance();
    static void refreashDataBaseFile();

    // Opens (and, when absent, creates) the database file in the folder, which must be a real
    // folder (not a link) of root's, the backend's or this user's; otherwise there is no
    // connection.
    explicit DataBaseHelper(QString folder);
    ~DataBaseHelper();

    // Runs the block on the connection. False when there is no connection or on re-entry; the
    // block then does not run.
    bool inDataBase(const std::function<void(SQLite::Database &database)> &block);

    // Runs the block inside an exclusive transaction, which is rolled back when the block sets
    // the flag and committed otherwise. Done only when the block ran and its work was committed;
    // otherwise the error says why (SQLITE_ABORT when the block asked for the rollback).
    Result<Done>
    inTransaction(const std::function<void(SQLite::Database &database, bool &rollback)> &block);

    // The error of a failed statement, and the error when there is no connection (or on re-entry).
    static Error databaseError(const SQLite::Exception &error);
    static Error notOpenError();
    // Whether the error only says that another connection holds the database for now.
    static bool isBusy(const Error &error);

    // The file's path. Every call also gives the file mode 0777, through a descriptor of the file
    // itself and only when it is a regular file with no other name (a link, a missing file or a
    // hard link to another file is left as it is).
    QString dbPath() const;

    // Reopens the connection on the same path.
    void flash();

private:
    struct FileKey
    {
        dev_t device = 0;
        ino_t inode = 0;
        bool operator==(const FileKey &) const = default;
    };

    // Opens the file at the path, creating it when absent only where create is set.
    void open(bool create);
    void openAt(const QString &path, bool create);
    // Opens the file now at the table's name when it is no longer the one opened.
    void followReplacedFile();
    // The entry at the table's name, reached through its folder as the owner rule admits it.
    std::optional<FileKey> fileAtName() const;
    bool enter(std::unique_lock<std::mutex> &lock);

    QString m_folder;
    std::mutex m_mutex;
    std::unique_ptr<SQLite::Database> m_database;
    // The file the connection has open.
    std::optional<FileKey> m_openedFile;
};
