#pragma once

// The login payload of the token-based REST calls. Property names are the JSON member names,
// except userId, which reads the member "id" (read it with KeyMappedRecord::fromJson). A plain
// value; any thread.

#include <QHash>
#include <QObject>
#include <QString>

class CSLoginResult
{
    Q_GADGET
    Q_PROPERTY(qint64 amount MEMBER amount)
    Q_PROPERTY(qint64 excess_quota MEMBER excess_quota)
    Q_PROPERTY(qint64 userId MEMBER userId)
    Q_PROPERTY(QString nickname MEMBER nickname)
    Q_PROPERTY(QString real_name MEMBER real_name)
    Q_PROPERTY(QString user_name MEMBER user_name)
    Q_PROPERTY(qint64 is_guest MEMBER is_guest)

public:
    qint64 amount = 0;
    qint64 excess_quota = 0;
    qint64 userId = 0;
    QString nickname;
    QString real_name;
    QString user_name;
    qint64 is_guest = 0;

    static QHash<QString, QString> modelCustomPropertyMapper()
    {
        return {{QStringLiteral("userId"), QStringLiteral("id")}};
    }
};
