#pragma once

// Writes the row of a job into the job table that the monitor reads, creating the database
// folder, the file and the table when they are missing. The file is opened for each write and
// closed again, so the backend holds no lock between jobs. Runs on the calling thread.

#include "JobRow.h"

#include "foundation/Error.h"

#include <QString>

#include <chrono>

class JobDatabaseWriter
{
public:
    // How long a write waits for a lock the monitor holds.
    static constexpr std::chrono::milliseconds kBusyTimeout{5000};

    explicit JobDatabaseWriter(QString folder);

    // Replaces any row left under the same job id (CUPS may number jobs anew).
    Result<Done> write(const JobRow &row) const;

    QString databasePath() const;

private:
    QString m_folder;
};
