#pragma once

// One row of the print backend's job table t_job. The declaration order of the properties is the
// column order of every statement built from the record, JobDatabase::kColumns. Plain value, any
// thread.

#include "DBModel.h"

#include "foundation/JobDatabase.h"

#include <QString>

class DBJob : public DBModel
{
    Q_GADGET
    Q_PROPERTY(qint64 job_id MEMBER job_id)
    Q_PROPERTY(QString fileName MEMBER fileName)
    Q_PROPERTY(QString copies MEMBER copies)
    Q_PROPERTY(QString orientation MEMBER orientation)
    Q_PROPERTY(QString duplex MEMBER duplex)
    Q_PROPERTY(QString color MEMBER color)
    Q_PROPERTY(QString paperSize MEMBER paperSize)
    Q_PROPERTY(QString pageType MEMBER pageType)
    Q_PROPERTY(QString pages MEMBER pages)
    Q_PROPERTY(QString totalPages MEMBER totalPages)
    Q_PROPERTY(qint64 isUploaded MEMBER isUploaded)

public:
    static constexpr auto kTableName = JobDatabase::kTableName;

    qint64 job_id = 0;
    QString fileName; // document name, Base64 text as the backend stores it
    QString copies;
    QString orientation;
    QString duplex;
    QString color;
    QString paperSize;
    QString pageType; // paper name, plain text
    QString pages;
    QString totalPages; // pages times copies
    qint64 isUploaded = 0;

    QString tableName() const override { return QString::fromLatin1(kTableName); }
    // The key is left to SQLite when inserting.
    QSet<QString> ignoreInsertSqlColumn() const override { return {QStringLiteral("job_id")}; }

protected:
    const QMetaObject &recordMetaObject() const override { return staticMetaObject; }
    void *recordGadget() override { return this; }
    const void *recordGadget() const override { return this; }
};
