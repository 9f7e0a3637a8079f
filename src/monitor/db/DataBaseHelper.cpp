#include "DataBaseHelper.h"

#include "foundation/SharedFolderFiles.h"
#include "monitor/MonitorDefaults.h"
#include "monitor/PRTools.h"

#include <QDebug>
#include <QFile>

#include <sqlite3.h>

namespace {

// The helper whose block is running on this thread, to refuse re-entry instead of deadlocking.
thread_local const DataBaseHelper *runningHelper = nullptr;

class RunningScope
{
public:
    explicit RunningScope(const DataBaseHelper *helper)
        : m_outer(runningHelper)
    {
        runningHelper = helper;
    }
    ~RunningScope() { runningHelper = m_outer; }
    RunningScope(const RunningScope &) = delete;
    RunningScope &operator=(const RunningScope &) = delete;

private:
    const DataBaseHelper *m_outer;
};

} // namespace

DataBaseHelper &DataBaseHelper::sharedInstance()
{
    static DataBaseHelper instance(QString::fromLatin1(MonitorDefaults::kDatabaseFolder));
    return instance;
}

void DataBaseHelper::refreashDataBaseFile()
{
    sharedInstance().flash();
}

DataBaseHelper::DataBaseHelper(QString folder)
    : m_folder(std::move(folder))
{
    open();
}

DataBaseHelper::~DataBaseHelper() = default;

QString DataBaseHelper::dbPath() const
{
    const QString path = QStringLiteral("%1/%2").arg(m_folder, QLatin1String(kFileName));
    // Several users' processes share the file; a failure (for example another owner) is ignored.
    PRTools::setSharedMode(path);
    return path;
}

void DataBaseHelper::open()
{
    // Another user may have put a link or a folder of their own at the folder's name: the job
    // table is never looked for there.
    if (const Result<FileDescriptor> folder = SharedFolderFiles::openOwnedFolder(m_folder);
        !folder) {
        m_database.reset();
        qWarning().noquote() << "cannot open the job database:" << folder.error().description;
        return;
    }
    const QByteArray path = QFile::encodeName(dbPath());
    try {
        m_database = std::make_unique<SQLite::Database>(
            // Another user may have planted a link at the name in the shared folder (SQLite then
            // refuses a link anywhere in the path).
            path.constData(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE | SQLite::OPEN_NOFOLLOW,
            static_cast<int>(kBusyTimeout.count()));
    } catch (const SQLite::Exception &error) {
        m_database.reset();
        qWarning().noquote() << "cannot open the job database" << path << ":" << error.what();
    }
}

void DataBaseHelper::flash()
{
    std::lock_guard lock(m_mutex);
    m_database.reset();
    open();
}

bool DataBaseHelper::enter(std::unique_lock<std::mutex> &lock)
{
    if (runningHelper == this) {
        qWarning() << "the job database was called again from inside its own block; refused";
        return false;
    }
    lock = std::unique_lock(m_mutex);
    return m_database != nullptr;
}

bool DataBaseHelper::inDataBase(const std::function<void(SQLite::Database &)> &block)
{
    std::unique_lock<std::mutex> lock;
    if (!enter(lock))
        return false;
    RunningScope running(this);
    block(*m_database);
    return true;
}

Result<Done>
DataBaseHelper::inTransaction(const std::function<void(SQLite::Database &, bool &)> &block)
{
    std::unique_lock<std::mutex> lock;
    if (!enter(lock))
        return notOpenError();
    RunningScope running(this);
    try {
        m_database->exec("begin exclusive transaction");
    } catch (const SQLite::Exception &error) {
        qWarning().noquote() << "cannot begin a transaction on the job database:" << error.what();
        return databaseError(error);
    }
    bool rollback = false;
    block(*m_database, rollback);
    try {
        m_database->exec(rollback ? "rollback transaction" : "commit transaction");
    } catch (const SQLite::Exception &error) {
        qWarning().noquote() << "cannot end a transaction on the job database:" << error.what();
        if (!rollback) {
            // A failed commit leaves the transaction open; end it so the next caller starts clean.
            try {
                m_database->exec("rollback transaction");
            } catch (const SQLite::Exception &) {
            }
        }
        return databaseError(error);
    }
    if (rollback)
        return Error{QString::fromLatin1(kErrorDomain), SQLITE_ABORT,
                     QStringLiteral("the work was rolled back")};
    return Done{};
}

Error DataBaseHelper::databaseError(const SQLite::Exception &error)
{
    return Error{QString::fromLatin1(kErrorDomain), error.getErrorCode(),
                 QString::fromUtf8(error.what())};
}

Error DataBaseHelper::notOpenError()
{
    return Error{QString::fromLatin1(kErrorDomain), SQLITE_CANTOPEN,
                 QStringLiteral("the job database is not open")};
}

bool DataBaseHelper::isBusy(const Error &error)
{
    // Extended codes carry the primary code in their low byte.
    constexpr int kPrimaryCodeMask = 0xff;
    const int primary = error.code & kPrimaryCodeMask;
    return error.domain == QLatin1String(kErrorDomain) &&
           (primary == SQLITE_BUSY || primary == SQLITE_LOCKED);
}
