#include "BackendFixture.h"

#include <QDir>

#include <QFile>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <sys/stat.h>

const QByteArray BackendFixture::kPdf = "%PDF-1.4\n1 0 obj\n<<>>\nendobj\ntrailer\n<<>>\n%%EOF\n";

BackendOutcome BackendFixture::run(const QByteArrayList &arguments, const QByteArray &input)
{
    QBuffer data;
    data.setData(input);
    data.open(QIODevice::ReadOnly);
    return run(arguments, data);
}

BackendOutcome BackendFixture::run(const QByteArrayList &arguments, QIODevice &input,
                                   std::function<bool()> isCancelled)
{
    QBuffer output;
    QBuffer messages;
    output.open(QIODevice::WriteOnly);
    messages.open(QIODevice::WriteOnly);
    PrinterBackend backend(root(), {input, output, messages}, std::move(isCancelled), m_staging);
    BackendOutcome outcome;
    outcome.status = backend.run(arguments);
    outcome.output = output.data();
    outcome.messages = messages.data();
    return outcome;
}

std::optional<QMap<QString, QVariant>> BackendFixture::row(qint64 jobId) const
{
    if (!QFile::exists(databasePath()))
        return std::nullopt;
    try {
        SQLite::Database database(QFile::encodeName(databasePath()).constData(),
                                  SQLite::OPEN_READONLY);
        SQLite::Statement query(database, "SELECT * FROM t_job WHERE job_id = ?");
        query.bind(1, static_cast<int64_t>(jobId));
        if (!query.executeStep())
            return std::nullopt;
        QMap<QString, QVariant> columns;
        for (int i = 0; i < query.getColumnCount(); ++i) {
            const SQLite::Column column = query.getColumn(i);
            const QString name = QString::fromUtf8(column.getName());
            if (column.isNull())
                columns[name] = QVariant();
            else if (column.isInteger())
                columns[name] = QVariant::fromValue<qint64>(column.getInt64());
            else
                columns[name] = QString::fromStdString(column.getString());
        }
        return columns;
    } catch (const SQLite::Exception &) {
        return std::nullopt;
    }
}

QByteArrayList BackendFixture::jobArguments(qint64 jobId, const QByteArray &options,
                                            const QByteArray &title, const QByteArray &copies)
{
    return {QByteArray::number(jobId), "alice", title, copies, options};
}

unsigned BackendFixture::modeOf(const QString &path)
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

QStringList BackendFixture::folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}
