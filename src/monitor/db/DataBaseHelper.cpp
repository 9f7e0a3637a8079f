#include "DataBaseHelper.h"

#include "foundation/SharedFolderFiles.h"
#include "foundation/jobtable/DataOnlyDatabase.h"
#include "monitor/MonitorDefaults.h"
#include "monitor/PRTools.h"

#include <QDebug>
#include <QFile>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>

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

// Rounds of opening while another process keeps swapping the file at the name.
constexpr int kOpenRounds = 3;

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
    open(true);
}

DataBaseHelper::~DataBaseHelper() = default;

QString DataBaseHelper::dbPath() const
{
    const QString path = QStringLiteral("%1/%2").arg(m_folder, QLatin1String(kFileName));
    // Several users' processes share the file. A link or a hard link at the name could hand
    // another file to every user; those, and failures (another owner), are left alone.
    const Result<FileDescriptor> folder = SharedFolderFiles::openOwnedFolder(m_folder);
    if (!folder)
        return path;
    const Result<FileDescriptor> file =
        SharedFolderFiles::openRegularFile(folder->get(), QLatin1String(kFileName), O_RDONLY);
    struct stat status = {};
    if (file && ::fstat(file->get(), &status) == 0 && status.st_nlink == 1)
        SharedFolderFiles::setMode(file->get(), PRTools::kSharedMode);
    return path;
}

void DataBaseHelper::open(bool create)
{
    m_database.reset();
    m_openedFile.reset();
    // Another user may have put a link or a folder of their own at the folder's name: the job
    // table is never looked for there.
    if (const Result<FileDescriptor> folder = SharedFolderFiles::openOwnedFolder(m_folder);
        !folder) {
        qWarning().noquote() << "cannot open the job database:" << folder.error().description;
        return;
    }
    const QString path = dbPath();
    for (int round = 0; round < kOpenRounds; ++round) {
        const std::optional<FileKey> before = fileAtName();
        if (!before && !create)
            return;
        openAt(path, create);
        if (!m_database)
            return;
        // The file SQLite opened is the one at the name only when nobody swapped it meanwhile.
        const std::optional<FileKey> after = fileAtName();
        if (after && (!before || before == after)) {
            m_openedFile = after;
            return;
        }
        m_database.reset();
    }
    qWarning().noquote() << "cannot open the job database" << path
                         << ": the file at its name is replaced again and again";
}

void DataBaseHelper::openAt(const QString &path, bool create)
{
    const QByteArray encoded = QFile::encodeName(path);
    // Another user may have planted a link at the name in the shared folder (SQLite then refuses
    // a link anywhere in the path).
    const int flags =
        SQLite::OPEN_READWRITE | SQLite::OPEN_NOFOLLOW | (create ? SQLite::OPEN_CREATE : 0);
    try {
        auto database = std::make_unique<SQLite::Database>(encoded.constData(), flags,
                                                           static_cast<int>(kBusyTimeout.count()));
        DataOnlyDatabase::configure(*database);
        m_database = std::move(database);
    } catch (const SQLite::Exception &error) {
        qWarning().noquote() << "cannot open the job database" << encoded << ":" << error.what();
    }
}

std::optional<DataBaseHelper::FileKey> DataBaseHelper::fileAtName() const
{
    const Result<FileDescriptor> folder = SharedFolderFiles::openOwnedFolder(m_folder);
    struct stat status = {};
    if (!folder || ::fstatat(folder->get(), kFileName, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return FileKey{status.st_dev, status.st_ino};
}

void DataBaseHelper::followReplacedFile()
{
    // A file removed leaves the connection as it is until a new one takes the name: the backend
    // makes it at its next job.
    const std::optional<FileKey> atName = fileAtName();
    if (!atName || (m_database && atName == m_openedFile))
        return;
    if (m_database)
        qInfo().noquote() << "the job database"
                          << QStringLiteral("%1/%2").arg(m_folder, QLatin1String(kFileName))
                          << "was replaced; the file now at its name is opened";
    open(false);
}

void DataBaseHelper::flash()
{
    std::lock_guard lock(m_mutex);
    open(true);
}

bool DataBaseHelper::enter(std::unique_lock<std::mutex> &lock)
{
    if (runningHelper == this) {
        qWarning() << "the job database was called again from inside its own block; refused";
        return false;
    }
    lock = std::unique_lock(m_mutex);
    followReplacedFile();
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
