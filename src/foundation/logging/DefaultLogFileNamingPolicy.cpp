#include "DefaultLogFileNamingPolicy.h"

namespace {

constexpr const char *kCreationTimeFormat = "yyyy-MM-dd--HH-mm-ss-zzz";
constexpr const char *kExtension = ".log";

} // namespace

DefaultLogFileNamingPolicy::DefaultLogFileNamingPolicy(QString identifier, Clock clock)
    : m_identifier(std::move(identifier))
    , m_clock(clock ? std::move(clock) : Clock(&QDateTime::currentDateTime))
{}

QString DefaultLogFileNamingPolicy::newLogFileName() const
{
    return m_identifier + u' ' +
           m_clock().toLocalTime().toString(QLatin1String(kCreationTimeFormat)) +
           QLatin1String(kExtension);
}

bool DefaultLogFileNamingPolicy::isLogFile(const QString &fileName) const
{
    return fileName.startsWith(m_identifier + u' ') && fileName.endsWith(QLatin1String(kExtension));
}
