#pragma once

// Base of the job database's records: maps a result row onto the record's own declared
// properties (by column name) and builds REPLACE INTO statements from them, in declaration order.
// A subclass is a Q_GADGET that names its table and meta object. Plain value code, any thread.
//
// Property kinds: QString (text; null = SQL NULL), qint64/int (integer, read at 64-bit width) and
// double. Properties of other kinds are neither read nor written.

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QSet>
#include <QString>
#include <QVariant>

#include <functional>

namespace SQLite {
class Statement;
}

class DBModel
{
public:
    // Statement types of getSqlProperty(); any other value means update.
    static constexpr int kInsertType = 1;
    static constexpr int kUpdateType = 2;

    // Makes the value of a nested record's property from the same row.
    using NestedRecordFactory = std::function<QVariant(const SQLite::Statement &resultSet)>;

    virtual ~DBModel() = default;

    // Fills the record from the statement's current row; a null statement leaves it as it is.
    void initWithFMResultSet(const SQLite::Statement *resultSet);
    void initWithFMResultSet(const SQLite::Statement *resultSet, bool isSubClasses);

    // {"key": column list, "value": value list} for a statement of the given type.
    QHash<QString, QString> getSqlProperty(int type) const;
    QString getSqlWithType(int type, const QString &tableName) const;
    QString getInsertSql() const;
    QString getUpdateSql() const;
    // The update value list in parentheses.
    QString getSqlValues() const;

    // One REPLACE INTO statement for all records (the first one's table and columns); "" for none.
    static QString getReplaceSqls(const QList<const DBModel *> &models);

    virtual QString tableName() const { return {}; }
    // Property name to the factory of a nested record read from the same row.
    virtual QHash<QString, NestedRecordFactory> objectsFromClasses() const { return {}; }
    // Properties left out of insert and of update statements.
    virtual QSet<QString> ignoreInsertSqlColumn() const { return {QStringLiteral("ID")}; }
    virtual QSet<QString> ignoreSqlColumn() const { return {QStringLiteral("ID")}; }

    bool isSubClasses = false;

protected:
    // The subclass's meta object and the record as its gadget, for reflection.
    virtual const QMetaObject &recordMetaObject() const = 0;
    virtual void *recordGadget() = 0;
    virtual const void *recordGadget() const = 0;

    DBModel() = default;
    DBModel(const DBModel &) = default;
    DBModel &operator=(const DBModel &) = default;
};
