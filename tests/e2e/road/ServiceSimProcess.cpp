#include "ServiceSimProcess.h"

#include "RoadFiles.h"

#include <QProcessEnvironment>
#include <QRegularExpression>

ServiceSimProcess::ServiceSimProcess(QString program, QString folder)
    : m_program(std::move(program))
    , m_folder(std::move(folder))
    , m_process(QStringLiteral("vqm-service-sim"), m_folder + QStringLiteral("/sim.out"))
{}

QString ServiceSimProcess::ftpRoot() const
{
    return m_folder + QStringLiteral("/ftp");
}

QString ServiceSimProcess::recordPath() const
{
    return m_folder + QStringLiteral("/requests.jsonl");
}

Result<Done> ServiceSimProcess::start(const Account &account, std::chrono::milliseconds limit)
{
    const QString accountText =
        QStringList{account.entKey, account.userName, account.password}.join(u':');
    // The push server keeps its fixed port, which the client connects to; the QR-login page is
    // not on the road.
    auto started = m_process.start(
        m_program,
        {QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--http-port"),
         QStringLiteral("0"), QStringLiteral("--ftp-port"), QStringLiteral("0"),
         QStringLiteral("--qr-port"), QStringLiteral("0"), QStringLiteral("--account"), accountText,
         QStringLiteral("--ftp-root"), ftpRoot(), QStringLiteral("--record"), recordPath()},
        QProcessEnvironment::systemEnvironment());
    if (!started)
        return started;
    static const QRegularExpression listening(
        QStringLiteral("vqm-service-sim listening http=(\\d+) .*push=(\\d+)"));
    const auto line = m_process.waitForOutput(listening, limit);
    if (!line)
        return line.error();
    m_httpPort = quint16(line->captured(1).toUInt());
    m_pushPort = quint16(line->captured(2).toUInt());
    return Done{};
}

void ServiceSimProcess::stop()
{
    m_process.stop();
}

QList<QJsonObject> ServiceSimProcess::requests(const QString &funType) const
{
    QList<QJsonObject> found;
    for (const QJsonObject &entry : RoadFiles::jsonLines(recordPath())) {
        if (entry.value(QStringLiteral("funType")).toString() == funType)
            found << entry;
    }
    return found;
}
