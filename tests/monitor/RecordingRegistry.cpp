#include "RecordingRegistry.h"

QStringList RecordingRegistry::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

QStringList RecordingRegistry::opened() const
{
    QMutexLocker lock(&m_mutex);
    return m_opened;
}

void RecordingRegistry::record(const QString &call)
{
    if (onCall)
        onCall(call);
    QMutexLocker lock(&m_mutex);
    m_calls.append(call);
}

QString RecordingRegistry::defaultHandlerForScheme(const QString &scheme)
{
    record("defaultHandler " + scheme);
    return handler;
}

Result<QString> RecordingRegistry::defaultApplicationForUrl(const QString &url)
{
    record("application " + url);
    return application;
}

QString RecordingRegistry::identifierOfApplicationAt(const QString &location)
{
    record("identifier " + location);
    return identifiers.value(location);
}

int RecordingRegistry::setDefaultHandlerForScheme(const QString &scheme, const QString &identifier)
{
    record("set " + scheme + " " + identifier);
    return setStatus;
}

bool RecordingRegistry::openUrl(const QString &url)
{
    record("open");
    QMutexLocker lock(&m_mutex);
    m_opened.append(url);
    return openResult;
}
