#include "NotificationSession.h"

#include "RoadFiles.h"

#include <QProcessEnvironment>
#include <QRegularExpression>

NotificationSession::NotificationSession(QString recorderProgram, QString folder)
    : m_recorderProgram(std::move(recorderProgram))
    , m_folder(std::move(folder))
    , m_bus(QStringLiteral("dbus-daemon"), m_folder + QStringLiteral("/dbus.out"))
    , m_recorder(QStringLiteral("vqm-notification-recorder"),
                 m_folder + QStringLiteral("/recorder.out"))
{}

QString NotificationSession::recordPath() const
{
    return m_folder + QStringLiteral("/notifications.jsonl");
}

Result<Done> NotificationSession::start(std::chrono::milliseconds limit)
{
    auto busStarted = m_bus.start(
        QStringLiteral("dbus-daemon"),
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
         QStringLiteral("--address=unix:path=") + m_folder + QStringLiteral("/bus"),
         QStringLiteral("--print-address=1")},
        QProcessEnvironment::systemEnvironment());
    if (!busStarted)
        return busStarted;
    static const QRegularExpression address(QStringLiteral("^(unix:path=\\S+)$"),
                                            QRegularExpression::MultilineOption);
    const auto line = m_bus.waitForOutput(address, limit);
    if (!line)
        return line.error();
    m_busAddress = line->captured(1);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    auto recorderStarted = m_recorder.start(
        m_recorderProgram, {QStringLiteral("--record"), recordPath()}, environment);
    if (!recorderStarted)
        return recorderStarted;
    static const QRegularExpression ready(QStringLiteral("vqm-notification-recorder ready"));
    if (const auto readyLine = m_recorder.waitForOutput(ready, limit); !readyLine)
        return readyLine.error();
    return Done{};
}

void NotificationSession::stop()
{
    m_recorder.stop();
    m_bus.stop();
}

QList<QJsonObject> NotificationSession::notifications() const
{
    return RoadFiles::jsonLines(recordPath());
}

QStringList NotificationSession::bodies() const
{
    QStringList texts;
    for (const QJsonObject &notification : notifications())
        texts << notification.value(QStringLiteral("body")).toString();
    return texts;
}

QString NotificationSession::logTail() const
{
    return m_bus.logTail() + u'\n' + m_recorder.logTail();
}
