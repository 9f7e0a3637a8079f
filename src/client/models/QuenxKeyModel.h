#pragma once

// A request key made on the client: the upper-case MD5 hex of a fixed salt followed by the time
// text, and that time text. Keys made within the same second are equal. A plain value; any
// thread.

#include <QObject>
#include <QString>

class QuenxKeyModel
{
    Q_GADGET
    Q_PROPERTY(QString DalvemorKeys MEMBER DalvemorKeys)
    Q_PROPERTY(QString date MEMBER date)

public:
    static constexpr auto kSalt = "~#!$$!#~";

    QString DalvemorKeys;
    QString date;

    // The key for now ("YYYYMMddHHmmss", local time).
    static QuenxKeyModel getQuenxKey();
    // The key for the given time text.
    static QuenxKeyModel getQuenxKey(const QString &timeText);
};
