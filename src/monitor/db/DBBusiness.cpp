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

QList<DBJob> readJobs(SQLite::Database &database, const QString &sql)
{
    QList<DBJob> jobs;
    try {
        SQLite::Statement query(database, sql.toStdString());
        while (query.executeStep()) {
            DBJob job;
            job.initWithFMResultSet(&query);
            jobs.append(job);
        }
    } catch (const SQLite::Exception &error) {
        reportError("query", error);
        jobs.clear();
    }
    return jobs;
}

} // namespace

std::optional<DBJob> DBBusiness::getJobWithJobId(const QString &jobId, DataBaseHelper &helper)
{
    // Anything but a number would change the statement instead of naming a row.
    if (!isDecimalId(jobId))
        return std::nullopt;
    std::optional<DBJob> job;
    helper.inDataBase([&](SQLite::Database &database) {
        const QList<DBJob> rows = readJobs(database, QString::fromLatin1(kJobQuery).arg(jobId));
        if (!rows.isEmpty())
            job = rows.last();
    });
    return job;
}

QList<DBJob> DBBusiness::getJobsWithSql(const QString &suffix, DataBaseHelper &helper)
{
    QList<DBJob> jobs;
    helper.inDataBase([&](SQLite::Database &database) {
        jobs = readJobs(database, QString::fromLatin1(kJobsQuery).arg(suffix));
    });
    return jobs;
}

bool DBBusiness::updateJobs(const QList<DBJob> &jobs, DataBaseHelper &helper)
{
    return writeJobs(jobs, DBModel::kUpdateType, helper);
}

bool DBBusiness::insertJobs(const QList<DBJob> &jobs, DataBaseHelper &helper)
{
    return writeJobs(jobs, DBModel::kInsertType, helper);
}

bool DBBusiness::writeJobs(const QList<DBJob> &jobs, int statementType, DataBaseHelper &helper)
{
    bool result = false;
    const bool committed = helper.inTransaction([&](SQLite::Database &database, bool &rollback) {
        for (const DBJob &job : jobs) {
            try {
                database.exec(job.getSqlWithType(statementType, job.tableName()).toStdString());
                result = true;
            } catch (const SQLite::Exception &error) {
                reportError("write", error);
                result = false;
                break;
            }
        }
        rollback = !result;
    });
    return result && committed;
}

bool DBBusiness::deleteJobsWithFlagId(qint64 jobId, DataBaseHelper &helper)
{
    bool result = false;
    const bool committed = helper.inTransaction([&](SQLite::Database &database, bool &rollback) {
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
    return result && committed;
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
    const bool committed = helper.inTransaction([&](SQLite::Database &database, bool &rollback) {
        try {
            database.exec(statements);
            result = true;
        } catch (const SQLite::Exception &error) {
            reportError("statement batch", error);
        }
        rollback = !result;
    });
    return result && committed;
}
