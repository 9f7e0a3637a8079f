#include "JobTableConnection.h"

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
    configure(SQLITE_DBCONFIG_ENABLE_TRIGGER, 0);
    configure(SQLITE_DBCONFIG_ENABLE_VIEW, 0);
    configure(SQLITE_DBCONFIG_DEFENSIVE, 1);
    sqlite3_busy_handler(handle, &JobTableConnection::onBusy, this);
    sqlite3_progress_handler(handle, kProgressSteps, &JobTableConnection::onProgress, this);
    m_database.exec("PRAGMA trusted_schema=OFF;");
}

void JobTableConnection::configure(int option, int value)
{
    const int result =
        sqlite3_db_config(m_database.getHandle(), option, value, static_cast<int *>(nullptr));
    if (result != SQLITE_OK)
        throw SQLite::Exception("cannot make the job table data only", result);
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
