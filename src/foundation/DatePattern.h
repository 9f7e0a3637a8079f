#pragma once

// Unicode date patterns through ICU, where "YYYY" is the week-based year and "yyyy" the calendar
// year. Stateless (a fresh formatter per call); callable from any thread.

#include <QDateTime>
#include <QString>

class DatePattern
{
public:
    // The instant in the pattern, in the given ICU time zone (for example "GMT+0800" or
    // "Europe/Berlin"); a null zone means the default time zone. Locale and calendar are the
    // default ones.
    static QString format(const QString &pattern, const QDateTime &instant,
                          const QString &timeZoneId = QString());

    // The instant the text stands for in the pattern and zone; an invalid QDateTime when the text
    // does not match the pattern as a whole or names no real date (parsing is strict).
    static QDateTime parse(const QString &pattern, const QString &text,
                           const QString &timeZoneId = QString());
};
