#include "JobTableConnection.h"

#include "foundation/jobtable/DataOnlyDatabase.h"

#include <QFile>

#include <sqlite3.h>

#include <thread>

JobTableConnection::JobTableConnection(const QString &path, Patience patience)
    : m_patience(std::move(patience))
    , m_deadline(std::chrono::steady_clock::now() + m_patience.limit)
    , m_database(QFile::encodeName(path).constData(),
                 SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE | SQLite::OPEN_NOFOLLOW)
{
    sqlite3 *handle = m_database.getHandle();
    sqlite3_busy_handler(handle, &JobTableConnection::onBusy, this);
    sqlite3_progress_handler(handle, kProgressSteps, &JobTableConnection::onProgress, this);
    DataOnlyDatabase::configure(m_database);
}

bool JobTableConnection::shouldGiveUp() const
{
    return m_patience.stop() || std::chrono::steady_clock::now() >= m_deadline;
}

int JobTableConnection::onBusy(void *connection, int)
{
    if (static_cast<const JobTableConnection *>(connection)->shouldGiveUp())
        return 0;
    std::this_thread::sleep_for(kBusyPollInterval);
    return 1;
}

int JobTableConnection::onProgress(void *connection)
{
    return static_cast<const JobTableConnection *>(connection)->shouldGiveUp() ? 1 : 0;
}
