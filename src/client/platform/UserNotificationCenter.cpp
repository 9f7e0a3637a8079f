#include "UserNotificationCenter.h"

#include <QStringList>

QString UserNotificationCenter::bodyWithSubtitle(const QString &subtitle, const QString &body)
{
    QStringList lines;
    for (const QString &line : {subtitle, body}) {
        if (!line.isEmpty())
            lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}
