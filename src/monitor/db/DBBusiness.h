#pragma once

// The operations on the job table. Each runs synchronously through a DataBaseHelper (the shared
// one unless a caller passes its own) and returns when the work is done; any thread may call.
// SQL errors are written to the process log and give nullopt, an empty list or false.

#include "DBJob.h"
#include "DataBaseHelper.h"

#include "foundation/JobDatabase.h"

#include <QList>
#include <QString>

#include <optional>

class DBBusiness
{
public:
    // The row of a spool job id. Only a decimal id is looked up; any other text has no row.
    static std::optional<DBJob>
    getJobWithJobId(const QString &jobId,
                    DataBaseHelper &helper = DataBaseHelper::sharedInstance());
    // The same, telling a missing row (nullopt) from a query that failed (the error: busy,
    // locked, no table, no connection).
    static Result<std::optional<DBJob>>
    readJobWithJobId(const QString &jobId,
                     DataBaseHelper &helper = DataBaseHelper::sharedInstance());
    // Writes every record's update statement in one transaction; false (and nothing kept) when
    // one fails or the list is empty.
    static bool updateJobs(const QList<DBJob> &jobs,
                           DataBaseHelper &helper = DataBaseHelper::sharedInstance());
    // The same, with the error of a failed write.
    static Result<Done> writeUpdates(const QList<DBJob> &jobs,
                                     DataBaseHelper &helper = DataBaseHelper::sharedInstance());
    // The same with insert statements, which leave the key to SQLite.
    static bool insertJobs(const QList<DBJob> &jobs,
                           DataBaseHelper &helper = DataBaseHelper::sharedInstance());
    // Every row of "SELECT * FROM t_job <suffix>" in row order; a null suffix adds nothing.
    static QList<DBJob> getJobsWithSql(const QString &suffix,
                                       DataBaseHelper &helper = DataBaseHelper::sharedInstance());
    static bool deleteJobsWithFlagId(qint64 jobId,
                                     DataBaseHelper &helper = DataBaseHelper::sharedInstance());
    static bool initWithTable(DataBaseHelper &helper = DataBaseHelper::sharedInstance());
    static bool dropDatabase(DataBaseHelper &helper = DataBaseHelper::sharedInstance());

    // The statements, as the table's other writers know them.
    static constexpr auto kJobQuery =
        "                         SELECT * FROM t_job where job_id = %1;";
    static constexpr auto kJobsQuery =
        "                         SELECT * FROM t_job                          %1;";
    static constexpr auto kCreateTable = JobDatabase::kCreateTable;
    static constexpr auto kDropTable =
        "                  DROP TABLE IF EXISTS t_job;                  ";
    static constexpr auto kDeleteJob = "delete from t_job where job_id = ? ";

private:
    static Result<Done> writeJobs(const QList<DBJob> &jobs, int statementType,
                                  DataBaseHelper &helper);
    static bool runStatements(const char *statements, DataBaseHelper &helper);
};
