#include "DBModel.h"

#include "foundation/Record.h"

#include <SQLiteCpp/Column.h>
#include <SQLiteCpp/Statement.h>

#include <QStringList>

namespace {

enum class ColumnKind { Text, Integer, Double, Unsupported };

ColumnKind kindOf(const QMetaProperty &property)
{
    switch (property.metaType().id()) {
    case QMetaType::QString:
        return ColumnKind::Text;
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return ColumnKind::Integer;
    case QMetaType::Double:
        return ColumnKind::Double;
    default:
        return ColumnKind::Unsupported;
    }
}

// SQL's NULL as the statements write it.
constexpr auto kNullValue = "(null)";

// A text between single quotes, its own quotes doubled so that the statement stays whole.
QString quotedText(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QVariant columnValue(const SQLite::Statement &resultSet, int index, ColumnKind kind)
{
    // A column the row does not have reads like NULL.
    const bool absent = index < 0 || resultSet.isColumnNull(index);
    switch (kind) {
    case ColumnKind::Text: {
        if (absent)
            return QString();
        const SQLite::Column column = resultSet.getColumn(index);
        return QString::fromUtf8(column.getText(), column.getBytes());
    }
    case ColumnKind::Integer:
        return absent ? qint64(0) : qint64(resultSet.getColumn(index).getInt64());
    case ColumnKind::Double:
        return absent ? 0.0 : resultSet.getColumn(index).getDouble();
    case ColumnKind::Unsupported:
        break;
    }
    return {};
}

} // namespace

void DBModel::initWithFMResultSet(const SQLite::Statement *resultSet, bool isSubClasses)
{
    this->isSubClasses = isSubClasses;
    initWithFMResultSet(resultSet);
}

void DBModel::initWithFMResultSet(const SQLite::Statement *resultSet)
{
    if (!resultSet)
        return;
    QHash<QString, int> columnIndexes;
    for (int i = 0; i < resultSet->getColumnCount(); ++i)
        columnIndexes.insert(QString::fromUtf8(resultSet->getColumnName(i)), i);
    const QHash<QString, NestedRecordFactory> nested = objectsFromClasses();

    for (const QMetaProperty &property : Record::ownProperties(recordMetaObject())) {
        const QString name = QString::fromLatin1(property.name());
        if (!isSubClasses && nested.contains(name)) {
            Record::write(property, recordGadget(), nested.value(name)(*resultSet));
            continue;
        }
        const QVariant value =
            columnValue(*resultSet, columnIndexes.value(name, -1), kindOf(property));
        if (value.isValid())
            Record::write(property, recordGadget(), value);
    }
}

QHash<QString, QString> DBModel::getSqlProperty(int type) const
{
    const QSet<QString> ignored = type == kInsertType ? ignoreInsertSqlColumn() : ignoreSqlColumn();
    QStringList columns;
    QStringList values;
    for (const QMetaProperty &property : Record::ownProperties(recordMetaObject())) {
        const QString name = QString::fromLatin1(property.name());
        if (ignored.contains(name))
            continue;
        const QVariant value = Record::read(property, recordGadget());
        switch (kindOf(property)) {
        case ColumnKind::Text: {
            const QString text = value.toString();
            values.append(text.isNull() ? QLatin1String(kNullValue) : quotedText(text));
            break;
        }
        case ColumnKind::Integer:
            values.append(quotedText(QString::number(value.toLongLong())));
            break;
        case ColumnKind::Double:
            // Written at single precision, as the table's writers always did.
            values.append(QString::asprintf("'%lf'", double(value.toFloat())));
            break;
        case ColumnKind::Unsupported:
            continue;
        }
        columns.append(name);
    }
    return {{QStringLiteral("key"), columns.join(QLatin1Char(','))},
            {QStringLiteral("value"), values.join(QLatin1Char(','))}};
}

QString DBModel::getSqlWithType(int type, const QString &tableName) const
{
    const QHash<QString, QString> parts = getSqlProperty(type);
    return QStringLiteral("REPLACE INTO %1 (%2) VALUES (%3);")
        .arg(tableName, parts.value(QStringLiteral("key")), parts.value(QStringLiteral("value")));
}

QString DBModel::getInsertSql() const
{
    return getSqlWithType(kInsertType, tableName());
}

QString DBModel::getUpdateSql() const
{
    return getSqlWithType(kUpdateType, tableName());
}

QString DBModel::getSqlValues() const
{
    return QStringLiteral("(%1)").arg(getSqlProperty(kUpdateType).value(QStringLiteral("value")));
}

QString DBModel::getReplaceSqls(const QList<const DBModel *> &models)
{
    if (models.isEmpty())
        return QString(QLatin1String(""));
    const DBModel &first = *models.first();
    QString sql =
        QStringLiteral("REPLACE INTO %1 (%2) VALUES")
            .arg(first.tableName(), first.getSqlProperty(kUpdateType).value(QStringLiteral("key")));
    for (qsizetype i = 0; i < models.size(); ++i) {
        sql += models.at(i)->getSqlValues();
        sql += i + 1 < models.size() ? QLatin1Char(',') : QLatin1Char(';');
    }
    return sql;
}
