#include "LoggingNotificationCenter.h"

#include "foundation/logging/Log.h"

void LoggingNotificationCenter::deliver(const QString &title, const QString &subtitle,
                                        const QString &body)
{
    Log::client(QStringLiteral("##user notification, title: %1, subtitle: %2, text: %3")
                    .arg(title, subtitle, body));
}
