#include "RequestLog.h"

#include <QDateTime>
#include <QJsonDocument>

RequestLog::RequestLog(QString filePath)
    : m_filePath(std::move(filePath))
{}

Result<Done> RequestLog::open()
{
    if (m_filePath.isEmpty())
        return Done{};
    m_file.setFileName(m_filePath);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return Error{QStringLiteral("vqm-service-sim.record"), 1,
                     QStringLiteral("cannot write the request record %1: %2")
                         .arg(m_filePath, m_file.errorString())};
    return Done{};
}

void RequestLog::append(QJsonObject entry)
{
    entry.insert("seq", m_nextSeq++);
    entry.insert("time", QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
    m_entries.append(entry);
    if (!m_file.isOpen())
        return;
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    if (m_file.write(line) != line.size() || !m_file.flush())
        qWarning("vqm-service-sim: writing the request record failed: %s",
                 qPrintable(m_file.errorString()));
}
