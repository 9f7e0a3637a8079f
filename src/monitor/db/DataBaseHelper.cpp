#include "DataBaseHelper.h"

#include "monitor/MonitorDefaults.h"
#include "monitor/PRTools.h"

#include <QDebug>
#include <QFile>

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
    const QByteArray path = QFile::encodeName(dbPath());
    try {
        m_database = std::make_unique<SQLite::Database>(
            path.constData(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE,
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

bool DataBaseHelper::inTransaction(const std::function<void(SQLite::Database &, bool &)> &block)
{
    std::unique_lock<std::mutex> lock;
    if (!enter(lock))
        return false;
    RunningScope running(this);
    try {
        m_database->exec("begin exclusive transaction");
    } catch (const SQLite::Exception &error) {
        qWarning().noquote() << "cannot begin a transaction on the job database:" << error.what();
        return false;
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
        return false;
    }
    return !rollback;
}
