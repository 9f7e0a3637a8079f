#include "JobDatabaseWriter.h"

#include "BackendDefaults.h"
#include "SharedAccess.h"

#include "monitor/db/DBBusiness.h"

#include <QFile>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

namespace {

constexpr auto kReplaceJob =
    "REPLACE INTO t_job (job_id,fileName,copies,orientation,duplex,color,paperSize,pageType,"
    "pages,totalPages,isUploaded) VALUES (?,?,?,?,?,?,?,?,NULL,NULL,0);";

} // namespace

JobDatabaseWriter::JobDatabaseWriter(QString folder)
    : m_folder(std::move(folder))
{}

QString JobDatabaseWriter::databasePath() const
{
    return QStringLiteral("%1/%2").arg(m_folder, QLatin1String(DataBaseHelper::kFileName));
}

Result<Done> JobDatabaseWriter::write(const JobRow &row) const
{
    if (auto folder = SharedAccess::makeFolder(m_folder); !folder)
        return folder.error();
    const QString path = databasePath();
    const QByteArray name = QFile::encodeName(path);
    try {
        SQLite::Database database(name.constData(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE,
                                  static_cast<int>(kBusyTimeout.count()));
        if (auto mode = SharedAccess::grantMode(path, BackendDefaults::kSharedFileMode); !mode)
            return mode.error();
        SQLite::Transaction transaction(database);
        database.exec(DBBusiness::kCreateTable);
        SQLite::Statement replace(database, kReplaceJob);
        int column = 0;
        replace.bind(++column, static_cast<int64_t>(row.jobId));
        for (const QString *text : {&row.fileName, &row.copies, &row.orientation, &row.duplex,
                                    &row.color, &row.paperSize, &row.pageType}) {
            replace.bind(++column, text->toStdString());
        }
        replace.exec();
        transaction.commit();
    } catch (const SQLite::Exception &error) {
        return Error{QString::fromLatin1(BackendDefaults::kErrorDomain), error.getErrorCode(),
                     QStringLiteral("cannot write job %1 into %2: %3")
                         .arg(row.jobId)
                         .arg(path, QString::fromUtf8(error.what()))};
    }
    return Done{};
}
