#pragma once

// Writes the row of a job into the job table that the monitor reads, creating the database
// folder, the file and the table when they are missing, and takes a job's row out again when the
// job ends before it is handed over. The file is opened for each write and closed again, so the
// backend holds no lock between jobs. Every local user can write to the database folder and the
// file: it is opened as data only (JobTableConnection), a link standing at its name is never
// followed, neither to open the database nor to set its mode, and the write fails instead; entries
// planted at SQLite's side file names are cleared out of the way first (DatabaseSideFiles). A
// write waits for a lock another process holds until the cancel check says the job was cancelled.
// Runs on the calling thread.

#include "JobRow.h"
#include "JobTableConnection.h"

#include "foundation/Error.h"

#include <QString>

#include <chrono>
#include <functional>

class JobDatabaseWriter
{
public:
    // How long a write waits for a lock the monitor holds.
    static constexpr std::chrono::milliseconds kBusyTimeout{5000};
    // How long taking a row out may wait: it runs when a job ends, cancelled ones too, which
    // must end at once.
    static constexpr std::chrono::milliseconds kRemovalLimit{500};

    JobDatabaseWriter(QString folder, std::function<bool()> isCancelled);

    // Replaces any row left under the same job id (CUPS may number jobs anew).
    Result<Done> write(const JobRow &row) const;

    // Removes the job's row; a missing row or table is no fault.
    Result<Done> remove(qint64 jobId) const;

    QString databasePath() const;

private:
    // Runs the work on the opened database, in one transaction; what fails is named for the job.
    Result<Done> change(qint64 jobId, JobTableConnection::Patience patience,
                        const std::function<void(SQLite::Database &)> &work) const;

    // Opens the file up to the shared mode, through a descriptor of the file itself.
    static Result<Done> grantSharedMode(int folder);

    QString m_folder;
    std::function<bool()> m_isCancelled;
};
