#pragma once

// One connection to the job table's file, opened as data only. Every local user can write that
// file, so it may carry another user's triggers, views or functions in its schema: the file is
// opened without following a link at its name (OPEN_NOFOLLOW), and before any statement runs,
// triggers and views are turned off, defensive mode on and the schema untrusted, so that nothing
// stored in the file ever runs. Its waits are bounded: a lock another process holds is waited for
// only until the time limit or until the stop check says so (a cancel), and a statement still
// running then is interrupted. Lives on the calling thread; the checks run inside SQLite's calls.

#include <QString>

#include <SQLiteCpp/Database.h>

#include <chrono>
#include <functional>

class JobTableConnection
{
public:
    struct Patience
    {
        std::chrono::milliseconds limit; // from the open on
        std::function<bool()> stop;      // true once waiting is pointless
    };

    // How often a lock that is held is tried again.
    static constexpr std::chrono::milliseconds kBusyPollInterval{20};
    // SQLite's virtual machine steps between two checks of a running statement.
    static constexpr int kProgressSteps = 1000;

    // Opens (creating it when it is missing) and configures; throws SQLite::Exception on failure.
    JobTableConnection(const QString &path, Patience patience);
    JobTableConnection(const JobTableConnection &) = delete;
    JobTableConnection &operator=(const JobTableConnection &) = delete;

    SQLite::Database &database() { return m_database; }

private:
    static int onBusy(void *connection, int attempts);
    static int onProgress(void *connection);
    bool shouldGiveUp() const;

    Patience m_patience;
    std::chrono::steady_clock::time_point m_deadline;
    SQLite::Database m_database;
};
