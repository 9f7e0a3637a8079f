#include "JobDatabaseWriter.h"

#include "BackendDefaults.h"
#include "DatabaseSideFiles.h"
#include "SharedAccess.h"

#include "foundation/JobDatabase.h"

#include <QStringList>
#include <QVariant>

#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include <fcntl.h>

#include <utility>

namespace {

// Every column of the table, each bound by its name.
QByteArray replaceStatement()
{
    QStringList columns;
    QStringList parameters;
    for (const char *column : JobDatabase::kColumns) {
        columns << QLatin1String(column);
        parameters << QLatin1Char(':') + QLatin1String(column);
    }
    return QStringLiteral("REPLACE INTO %1 (%2) VALUES (%3);")
        .arg(QLatin1String(JobDatabase::kTableName), columns.join(QLatin1Char(',')),
             parameters.join(QLatin1Char(',')))
        .toUtf8();
}

// The row's value of each column; the page counts stay empty for the monitor, and the row starts
// as not uploaded.
QList<std::pair<const char *, QVariant>> columnValues(const JobRow &row)
{
    return {
        {"job_id", QVariant::fromValue(row.jobId)},
        {"fileName", row.fileName},
        {"copies", row.copies},
        {"orientation", row.orientation},
        {"duplex", row.duplex},
        {"color", row.color},
        {"paperSize", row.paperSize},
        {"pageType", row.pageType},
        {"pages", QVariant()},
        {"totalPages", QVariant()},
        {"isUploaded", QVariant::fromValue(qint64(0))},
    };
}

void bindValue(SQLite::Statement &statement, const char *column, const QVariant &value)
{
    const std::string parameter = std::string(":") + column;
    if (value.isNull())
        statement.bind(parameter);
    else if (value.typeId() == QMetaType::LongLong)
        statement.bind(parameter, static_cast<int64_t>(value.toLongLong()));
    else
        statement.bind(parameter, value.toString().toStdString());
}

} // namespace

JobDatabaseWriter::JobDatabaseWriter(QString folder, std::function<bool()> isCancelled)
    : m_folder(std::move(folder))
    , m_isCancelled(std::move(isCancelled))
{}

QString JobDatabaseWriter::databasePath() const
{
    return QStringLiteral("%1/%2").arg(m_folder, QLatin1String(JobDatabase::kFileName));
}

Result<Done> JobDatabaseWriter::write(const JobRow &row) const
{
    return change(row.jobId, {kBusyTimeout, m_isCancelled}, [&](SQLite::Database &database) {
        database.exec(JobDatabase::kCreateTable);
        SQLite::Statement replace(database, replaceStatement().constData());
        for (const auto &[column, value] : columnValues(row))
            bindValue(replace, column, value);
        replace.exec();
    });
}

Result<Done> JobDatabaseWriter::remove(qint64 jobId) const
{
    const auto never = [] { return false; };
    return change(jobId, {kRemovalLimit, never}, [&](SQLite::Database &database) {
        if (!database.tableExists(JobDatabase::kTableName))
            return;
        SQLite::Statement removal(database, QStringLiteral("DELETE FROM %1 WHERE job_id = ?;")
                                                .arg(QLatin1String(JobDatabase::kTableName))
                                                .toUtf8()
                                                .constData());
        removal.bind(1, static_cast<int64_t>(jobId));
        removal.exec();
    });
}

Result<Done> JobDatabaseWriter::change(qint64 jobId, JobTableConnection::Patience patience,
                                       const std::function<void(SQLite::Database &)> &work) const
{
    const Result<FileDescriptor> folder = SharedAccess::makeFolder(m_folder);
    if (!folder)
        return folder.error();
    const QString path = databasePath();
    const auto failure = [&](int code, const QString &reason) {
        return Error{
            QString::fromLatin1(BackendDefaults::kErrorDomain), code,
            QStringLiteral("cannot write job %1 into %2: %3").arg(jobId).arg(path, reason)};
    };
    if (const Result<Done> cleared =
            DatabaseSideFiles::clearPlanted(folder->get(), QLatin1String(JobDatabase::kFileName));
        !cleared)
        return failure(cleared.error().code, cleared.error().description);
    try {
        JobTableConnection connection(path, std::move(patience));
        if (auto shared = grantSharedMode(folder->get()); !shared)
            return failure(shared.error().code, shared.error().description);
        // The write lock is taken at the start, where a busy table is waited for; one taken
        // midway would fail at once while another writer waits for this reader.
        SQLite::Transaction transaction(connection.database(),
                                        SQLite::TransactionBehavior::IMMEDIATE);
        work(connection.database());
        transaction.commit();
    } catch (const SQLite::Exception &error) {
        return failure(error.getErrorCode(), QString::fromUtf8(error.what()));
    }
    return Done{};
}

Result<Done> JobDatabaseWriter::grantSharedMode(int folder)
{
    const Result<FileDescriptor> file =
        SharedFolderFiles::openRegularFile(folder, QLatin1String(JobDatabase::kFileName), O_RDONLY);
    if (!file)
        return file.error();
    return SharedFolderFiles::grantMode(file->get(), BackendDefaults::kDatabaseFileMode);
}
