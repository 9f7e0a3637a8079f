#include "DBBusiness.h"

#include <QDebug>
#include <QRegularExpression>

#include <SQLiteCpp/Statement.h>

namespace {

void reportError(const char *operation, const SQLite::Exception &error)
{
    qWarning().noquote() << "job database:" << operation << "failed:" << error.what();
}

bool isDecimalId(const QString &jobId)
{
    static const QRegularExpression decimal(QStringLiteral("\\A-?[0-9]+\\z"));
    return decimal.match(jobId).hasMatch();
}

// Every row of the query, in row order.
Result<QList<DBJob>> readJobs(DataBaseHelper &helper, const QString &sql)
{
    Result<QList<DBJob>> jobs = DataBaseHelper::notOpenError();
    helper.inDataBase([&](SQLite::Database &database) {
        try {
            SQLite::Statement query(database, sql.toStdString());
            QList<DBJob> rows;
            while (query.executeStep()) {
                DBJob job;
                job.initWithFMResultSet(&query);
                rows.append(job);
            }
            jobs = std::move(rows);
        } catch (const SQLite::Exception &error) {
            reportError("query", error);
            jobs = DataBaseHelper::databaseError(error);
        }
    });
    return jobs;
}

} // namespace

std::optional<DBJob> DBBusiness::getJobWithJobId(const QString &jobId, DataBaseHelper &helper)
{
    Result<std::optional<DBJob>> job = readJobWithJobId(jobId, helper);
    return job ? job.value() : std::nullopt;
}

Result<std::optional<DBJob>> DBBusiness::readJobWithJobId(const QString &jobId,
                                                          DataBaseHelper &helper)
{
    // Anything but a number would change the statement instead of naming a row.
    if (!isDecimalId(jobId))
        return std::optional<DBJob>();
    const Result<QList<DBJob>> rows = readJobs(helper, QString::fromLatin1(kJobQuery).arg(jobId));
    if (!rows)
        return rows.error();
    return rows->isEmpty() ? std::optional<DBJob>() : std::optional<DBJob>(rows->last());
}

QList<DBJob> DBBusiness::getJobsWithSql(const QString &suffix, DataBaseHelper &helper)
{
    Result<QList<DBJob>> jobs = readJobs(helper, QString::fromLatin1(kJobsQuery).arg(suffix));
    return jobs ? jobs.value() : QList<DBJob>();
}

bool DBBusiness::updateJobs(const QList<DBJob> &jobs, DataBaseHelper &helper)
{
    return writeJobs(jobs, DBModel::kUpdateType, helper).ok();
}

Result<Done> DBBusiness::writeUpdates(const QList<DBJob> &jobs, DataBaseHelper &helper)
{
    return writeJobs(jobs, DBModel::kUpdateType, helper);
}

bool DBBusiness::insertJobs(const QList<DBJob> &jobs, DataBaseHelper &helper)
{
    return writeJobs(jobs, DBModel::kInsertType, helper).ok();
}

Result<Done> DBBusiness::writeJobs(const QList<DBJob> &jobs, int statementType,
                                   DataBaseHelper &helper)
{
    std::optional<Error> failure;
    Result<Done> committed = helper.inTransaction([&](SQLite::Database &database, bool &rollback) {
        for (const DBJob &job : jobs) {
            try {
                database.exec(job.getSqlWithType(statementType, job.tableName()).toStdString());
            } catch (const SQLite::Exception &error) {
                reportError("write", error);
                failure = DataBaseHelper::databaseError(error);
                break;
            }
        }
        rollback = failure || jobs.isEmpty();
    });
    if (failure)
        return *failure;
    return committed;
}

bool DBBusiness::deleteJobsWithFlagId(qint64 jobId, DataBaseHelper &helper)
{
    bool result = false;
    const Result<Done> committed =
        helper.inTransaction([&](SQLite::Database &database, bool &rollback) {
            try {
                SQLite::Statement statement(database, kDeleteJob);
                statement.bind(1, static_cast<int64_t>(jobId));
                statement.exec();
                result = true;
            } catch (const SQLite::Exception &error) {
                reportError("delete", error);
            }
            rollback = !result;
        });
    return result && committed.ok();
}

bool DBBusiness::initWithTable(DataBaseHelper &helper)
{
    return runStatements(kCreateTable, helper);
}

bool DBBusiness::dropDatabase(DataBaseHelper &helper)
{
    return runStatements(kDropTable, helper);
}

bool DBBusiness::runStatements(const char *statements, DataBaseHelper &helper)
{
    bool result = false;
    const Result<Done> committed =
        helper.inTransaction([&](SQLite::Database &database, bool &rollback) {
            try {
                database.exec(statements);
                result = true;
            } catch (const SQLite::Exception &error) {
                reportError("statement batch", error);
            }
            rollback = !result;
        });
    return result && committed.ok();
}
