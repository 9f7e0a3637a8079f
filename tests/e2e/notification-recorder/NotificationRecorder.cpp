#include "NotificationRecorder.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

NotificationRecorder::NotificationRecorder(const QString &recordPath, QObject *parent)
    : QObject(parent)
    , m_record(recordPath)
{}

bool NotificationRecorder::open()
{
    if (m_record.open(QIODevice::WriteOnly | QIODevice::Append))
        return true;
    std::fprintf(stderr, "vqm-notification-recorder: cannot open %s: %s\n",
                 qPrintable(m_record.fileName()), qPrintable(m_record.errorString()));
    return false;
}

uint NotificationRecorder::Notify(const QString &appName, uint replacesId, const QString &,
                                  const QString &summary, const QString &body, const QStringList &,
                                  const QVariantMap &, int)
{
    const uint id = replacesId != 0 ? replacesId : ++m_lastId;
    const QJsonObject entry{
        {"id", qint64(id)}, {"appName", appName}, {"summary", summary}, {"body", body}};
    m_record.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
    m_record.flush();
    return id;
}

void NotificationRecorder::CloseNotification(uint id)
{
    Q_EMIT NotificationClosed(id, kClosedByCall);
}

QStringList NotificationRecorder::GetCapabilities() const
{
    return {QStringLiteral("body")};
}

QString NotificationRecorder::GetServerInformation(QString &vendor, QString &version,
                                                   QString &specVersion) const
{
    vendor = QStringLiteral("Tarvello tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("vqm-notification-recorder");
}
