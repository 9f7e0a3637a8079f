// The job table through a real SQLite file: statement texts, NULL and 64-bit round trips, quotes,
// transactions and the ids that must not reach a statement.

#include "monitor/db/DBBusiness.h"
#include "FileMode.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include "foundation/JobDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaProperty>
#include <QStringList>
#include <QTemporaryDir>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class JobTable : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        helper = std::make_unique<DataBaseHelper>(folder.path());
        ASSERT_TRUE(DBBusiness::initWithTable(*helper));
    }

    // Runs SQL straight on the file, as the print backend does.
    void backend(const char *sql)
    {
        SQLite::Database database(QFile::encodeName(helper->dbPath()).constData(),
                                  SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        database.exec(sql);
    }

    bool backendIsNull(qint64 jobId, const char *column)
    {
        SQLite::Database database(QFile::encodeName(helper->dbPath()).constData());
        SQLite::Statement query(database, std::string("SELECT ") + column +
                                              " IS NULL FROM t_job WHERE job_id = ?");
        query.bind(1, static_cast<int64_t>(jobId));
        return query.executeStep() && query.getColumn(0).getInt() == 1;
    }

    QTemporaryDir folder;
    std::unique_ptr<DataBaseHelper> helper;
};

DBJob job(qint64 id, const QString &fileName, const QString &copies)
{
    DBJob record;
    record.job_id = id;
    record.fileName = fileName;
    record.copies = copies;
    return record;
}

} // namespace

TEST(DBModelStatements, UpdateStatementNamesEveryColumnAndWritesNullUnquoted)
{
    EXPECT_EQ(job(7, "QUJD", "2").getUpdateSql(),
              "REPLACE INTO t_job (job_id,fileName,copies,orientation,duplex,color,paperSize,"
              "pageType,pages,totalPages,isUploaded) VALUES ('7','QUJD','2',(null),(null),(null),"
              "(null),(null),(null),(null),'0');");
}

TEST(DBModelStatements, InsertStatementLeavesTheKeyOut)
{
    EXPECT_EQ(job(7, "QUJD", "2").getInsertSql(),
              "REPLACE INTO t_job (fileName,copies,orientation,duplex,color,paperSize,pageType,"
              "pages,totalPages,isUploaded) VALUES ('QUJD','2',(null),(null),(null),(null),(null),"
              "(null),(null),'0');");
}

TEST(DBModelStatements, QuotesInsideTextsAreDoubled)
{
    EXPECT_TRUE(job(1, "it's", "2").getUpdateSql().contains("'it''s'"));
}

TEST(DBModelStatements, MultiRowStatement)
{
    EXPECT_EQ(DBModel::getReplaceSqls({}), "");
    const DBJob first = job(1, "QQ==", "1");
    const DBJob second = job(2, "Qg==", "3");
    const QString sql = DBModel::getReplaceSqls({&first, &second});
    EXPECT_TRUE(sql.startsWith("REPLACE INTO t_job (job_id,fileName,"));
    EXPECT_TRUE(sql.contains("isUploaded) VALUES('1','QQ==','1',"));
    EXPECT_TRUE(sql.contains("'0'),('2','Qg==','3',"));
    EXPECT_TRUE(sql.endsWith("'0');"));
}

TEST_F(JobTable, RecordAndTableFollowTheColumnOrderBothWritersShare)
{
    QStringList shared;
    for (const char *column : JobDatabase::kColumns)
        shared << QLatin1String(column);

    // The record's own properties, in declaration order: the order of its statements.
    const QMetaObject &record = DBJob::staticMetaObject;
    QStringList properties;
    for (int i = record.propertyOffset(); i < record.propertyCount(); ++i)
        properties << QLatin1String(record.property(i).name());
    EXPECT_EQ(properties, shared);

    // The table as the monitor creates it.
    SQLite::Database database(QFile::encodeName(helper->dbPath()).constData());
    SQLite::Statement info(database, "PRAGMA table_info(t_job)");
    QStringList columns;
    while (info.executeStep())
        columns << QString::fromUtf8(info.getColumn(1).getText());
    EXPECT_EQ(columns, shared);
}

TEST_F(JobTable, RowWithNullColumnsRoundTripsUnchanged)
{
    backend("INSERT INTO t_job (job_id, fileName, copies, isUploaded) VALUES (12, 'QUJD', '2', 0)");

    const std::optional<DBJob> row = DBBusiness::getJobWithJobId("12", *helper);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->job_id, 12);
    EXPECT_EQ(row->fileName, "QUJD");
    EXPECT_TRUE(row->pages.isNull());
    EXPECT_TRUE(row->totalPages.isNull());
    EXPECT_EQ(row->isUploaded, 0);
    EXPECT_TRUE(row->getUpdateSql().contains("'0');"));

    ASSERT_TRUE(DBBusiness::updateJobs({*row}, *helper));
    EXPECT_TRUE(backendIsNull(12, "pages"));
    EXPECT_TRUE(backendIsNull(12, "orientation"));
    EXPECT_FALSE(backendIsNull(12, "isUploaded"));
}

TEST_F(JobTable, IdsAreLookedUpAsNumbersOnly)
{
    backend("INSERT INTO t_job (job_id, fileName) VALUES (12, 'QUJD')");

    EXPECT_TRUE(DBBusiness::getJobWithJobId("00012", *helper));
    EXPECT_EQ(DBBusiness::getJobWithJobId("00012", *helper)->job_id, 12);
    for (const char *id : {"13", "12 OR 1=1", "12;", "a.b", "", "1e1", "12'"})
        EXPECT_FALSE(DBBusiness::getJobWithJobId(id, *helper)) << id;
}

TEST_F(JobTable, IntegersKeepTheirFullWidth)
{
    backend(
        "INSERT INTO t_job (job_id, fileName, isUploaded) VALUES (5000000001, 'QQ==', 4294967297)");

    std::optional<DBJob> row = DBBusiness::getJobWithJobId("5000000001", *helper);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->job_id, 5000000001LL);
    EXPECT_EQ(row->isUploaded, 4294967297LL);
    row->pages = "1";
    ASSERT_TRUE(DBBusiness::updateJobs({*row}, *helper));
    EXPECT_EQ(DBBusiness::getJobsWithSql(QString(), *helper).size(), 1);
}

TEST_F(JobTable, QuoteInFileNameSurvivesTheWriteBack)
{
    backend("INSERT INTO t_job (job_id, fileName) VALUES (3, 'x')");
    DBJob row = *DBBusiness::getJobWithJobId("3", *helper);
    row.fileName = "O'Brien's ''notes''";
    ASSERT_TRUE(DBBusiness::updateJobs({row}, *helper));
    EXPECT_EQ(DBBusiness::getJobWithJobId("3", *helper)->fileName, row.fileName);
}

TEST_F(JobTable, FailingSecondStatementRollsBackTheFirst)
{
    backend("DROP TABLE t_job");
    backend("CREATE TABLE t_job (job_id integer PRIMARY KEY, fileName text, copies text NOT NULL,"
            " orientation text, duplex text, color text, paperSize text, pageType text,"
            " pages text, totalPages text, isUploaded integer DEFAULT 0)");
    backend("INSERT INTO t_job (job_id, fileName, copies) VALUES (1, 'a', '1'), (2, 'b', '1')");

    DBJob first = *DBBusiness::getJobWithJobId("1", *helper);
    DBJob second = *DBBusiness::getJobWithJobId("2", *helper);
    first.pages = "9";
    second.copies = QString(); // violates NOT NULL
    EXPECT_FALSE(DBBusiness::updateJobs({first, second}, *helper));
    EXPECT_TRUE(DBBusiness::getJobWithJobId("1", *helper)->pages.isNull());
    EXPECT_EQ(DBBusiness::getJobWithJobId("2", *helper)->copies, "1");
}

TEST_F(JobTable, EmptyListIsNotAWrite)
{
    EXPECT_FALSE(DBBusiness::updateJobs({}, *helper));
    EXPECT_FALSE(DBBusiness::insertJobs({}, *helper));
}

TEST_F(JobTable, InsertListDeleteAndDrop)
{
    ASSERT_TRUE(DBBusiness::insertJobs({job(0, "QQ==", "1"), job(0, "Qg==", "2")}, *helper));
    QList<DBJob> rows = DBBusiness::getJobsWithSql("ORDER BY job_id", *helper);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].fileName, "Qg==");

    EXPECT_TRUE(DBBusiness::deleteJobsWithFlagId(rows[0].job_id, *helper));
    rows = DBBusiness::getJobsWithSql(QString(), *helper);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].fileName, "Qg==");

    EXPECT_TRUE(DBBusiness::dropDatabase(*helper));
    EXPECT_TRUE(DBBusiness::getJobsWithSql(QString(), *helper).isEmpty());
    EXPECT_FALSE(DBBusiness::getJobWithJobId("1", *helper));
    EXPECT_FALSE(DBBusiness::updateJobs({job(1, "a", "1")}, *helper));
}

TEST_F(JobTable, FileIsSharedWithEveryUser)
{
    EXPECT_EQ(fileModeOf(helper->dbPath()), 0777u);
}

TEST_F(JobTable, BlockCannotReenterItsHelper)
{
    bool nested = true;
    EXPECT_TRUE(helper->inDataBase(
        [&](SQLite::Database &) { nested = helper->inDataBase([](SQLite::Database &) {}); }));
    EXPECT_FALSE(nested);
}

TEST_F(JobTable, SecondNameOfAnotherFileIsNeverShared)
{
    const QString secret = QDir(folder.path()).filePath("secret");
    ASSERT_TRUE(TestSupport::writeFile(secret, "precious"));
    ASSERT_EQ(::chmod(QFile::encodeName(secret).constData(), 0600), 0);
    const QString path = helper->dbPath();
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(::link(QFile::encodeName(secret).constData(), QFile::encodeName(path).constData()),
              0);
    helper->dbPath();
    EXPECT_EQ(fileModeOf(secret), 0600u);
}

namespace {

// The job table in a folder every user may write, as the spool tree's is, with one row the
// backend wrote.
class SharedJobTable : public JobTable
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(JobTable::SetUp());
        ASSERT_TRUE(OtherUser::shareFolder(folder.path(), QFileInfo(folder.path()).path()));
        backend("INSERT INTO t_job (job_id, fileName, copies) VALUES (1, 'QQ==', '2')");
        ASSERT_TRUE(DBBusiness::getJobWithJobId("1", *helper));
    }

    // Runs the SQL on the table's file as another user.
    bool asOtherUser(const QString &sql)
    {
        return OtherUser::run({"sqlite3", helper->dbPath(), sql});
    }

    // The column as the file holds it, read without the monitor.
    QString stored(qint64 jobId, const char *column)
    {
        SQLite::Database database(QFile::encodeName(helper->dbPath()).constData());
        SQLite::Statement query(database,
                                std::string("SELECT ") + column + " FROM t_job WHERE job_id = ?");
        query.bind(1, static_cast<int64_t>(jobId));
        return query.executeStep() ? QString::fromStdString(query.getColumn(0).getString())
                                   : QString();
    }
};

} // namespace

TEST_F(SharedJobTable, PlantedCodeNeverRunsOnTheMonitorsWriteBack)
{
    const QList<std::pair<const char *, QString>> cases = {
        {"after insert",
         "CREATE TRIGGER planted AFTER INSERT ON t_job BEGIN UPDATE t_job SET copies='999'; END"},
        {"after update",
         "CREATE TRIGGER planted AFTER UPDATE ON t_job BEGIN UPDATE t_job SET copies='999'; END"},
        {"before insert, failing the write",
         "CREATE TRIGGER planted BEFORE INSERT ON t_job BEGIN SELECT RAISE(ABORT, 'planted'); "
         "END"},
    };
    for (const auto &[what, trigger] : cases) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(asOtherUser(trigger));
        DBJob row = *DBBusiness::getJobWithJobId("1", *helper);
        row.pages = row.totalPages = "3";
        EXPECT_TRUE(DBBusiness::updateJobs({row}, *helper));
        EXPECT_EQ(stored(1, "copies"), "2");
        EXPECT_EQ(stored(1, "pages"), "3");
        backend("DROP TRIGGER planted");
    }
}

TEST_F(SharedJobTable, TableReplacedByAPlantedViewIsNotRead)
{
    ASSERT_TRUE(asOtherUser("ALTER TABLE t_job RENAME TO kept; CREATE VIEW t_job AS SELECT "
                            "job_id, fileName, '999' AS copies, orientation, duplex, color, "
                            "paperSize, pageType, pages, totalPages, isUploaded FROM kept"));
    const Result<std::optional<DBJob>> row = DBBusiness::readJobWithJobId("1", *helper);
    EXPECT_FALSE(row && row.value() && row.value()->copies == "999");
    EXPECT_FALSE(row);
}

TEST_F(SharedJobTable, FileReplacedAtItsNameIsFollowed)
{
    const QList<std::pair<const char *, QString>> cases = {
        {"copied over", "cp \"$1\" \"$1.copy\" && mv -f \"$1.copy\" \"$1\""},
        {"removed, then made again by the backend", "rm -f \"$1\""},
    };
    qint64 jobId = 1;
    for (const auto &[what, replace] : cases) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(OtherUser::runScript(replace, {helper->dbPath()}));
        // While nothing is at the name, the connection stays as it is.
        EXPECT_TRUE(DBBusiness::readJobWithJobId(QString::number(jobId), *helper));
        backend(JobDatabase::kCreateTable);
        ++jobId;
        backend(QStringLiteral("INSERT INTO t_job (job_id, fileName, copies) VALUES (%1, 'Qg==', "
                               "'1')")
                    .arg(jobId)
                    .toUtf8()
                    .constData());

        const std::optional<DBJob> row =
            DBBusiness::getJobWithJobId(QString::number(jobId), *helper);
        ASSERT_TRUE(row);
        DBJob completed = *row;
        completed.pages = "4";
        EXPECT_TRUE(DBBusiness::updateJobs({completed}, *helper));
        EXPECT_EQ(stored(jobId, "pages"), "4");
    }
}

TEST(DataBaseHelperOnAPlantedLink, NeitherOpensNorSharesTheLinksTarget)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString folder = root.filePath("db");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(OtherUser::shareFolder(folder, root.path()));
    const QString secret = root.filePath("secret");
    const QList<std::pair<const char *, QString>> cases = {
        {"link to a file outside", secret},
        {"dangling link", root.filePath("planted")},
    };
    for (const auto &[name, target] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(TestSupport::writeFile(secret, "precious"));
        ASSERT_EQ(::chmod(QFile::encodeName(secret).constData(), 0600), 0);
        const QString link = QDir(folder).filePath(DataBaseHelper::kFileName);
        ASSERT_TRUE(OtherUser::plantLink(target, link));

        DataBaseHelper helper(folder);
        const Result<std::optional<DBJob>> row = DBBusiness::readJobWithJobId("1", helper);
        ASSERT_FALSE(row);
        EXPECT_FALSE(DataBaseHelper::isBusy(row.error()));
        EXPECT_FALSE(DBBusiness::initWithTable(helper));

        EXPECT_EQ(TestSupport::readFile(secret), "precious");
        EXPECT_EQ(fileModeOf(secret), 0600u);
        EXPECT_FALSE(QFileInfo::exists(root.filePath("planted")));
        ASSERT_TRUE(QFile::remove(link));
    }
}

TEST(DataBaseHelperWithoutFile, EveryOperationFails)
{
    QTemporaryDir folder;
    DataBaseHelper helper(folder.filePath("missing"));
    EXPECT_FALSE(DBBusiness::getJobWithJobId("1", helper));
    EXPECT_FALSE(DBBusiness::initWithTable(helper));
    EXPECT_FALSE(DBBusiness::updateJobs({job(1, "a", "1")}, helper));
    EXPECT_TRUE(DBBusiness::getJobsWithSql(QString(), helper).isEmpty());
}
