#include "MonitorLogFileManager.h"

#include "foundation/DatePattern.h"

MonitorLogFileManager::MonitorLogFileManager(Clock clock)
    : m_clock(std::move(clock))
{}

QString MonitorLogFileManager::newLogFileName() const
{
    return QStringLiteral("%1%2%3").arg(QLatin1String(kNamePrefix), getTimestamp(),
                                        QLatin1String(kExtension));
}

bool MonitorLogFileManager::isLogFile(const QString &) const
{
    return true;
}

QString MonitorLogFileManager::getTimestamp() const
{
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();
    return DatePattern::format(QLatin1String(kDatePattern), now);
}
