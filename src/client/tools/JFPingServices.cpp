#include "JFPingServices.h"

#include "client/tools/SimplePing.h"

#include <QTimer>

std::shared_ptr<JFPingServices> JFPingServices::start(const QString &hostName, int count,
                                                      PingCallback pingCallback,
                                                      JFPingOutput output)
{
    std::shared_ptr<JFPingServices> run(
        new JFPingServices(hostName, count, std::move(pingCallback), std::move(output)));
    run->m_pinger = std::make_unique<SimplePing>(hostName);
    run->m_pinger->setAddressStyle(SimplePingAddressStyleAny);
    run->m_pinger->setDelegate(run);
    run->m_pinger->start();
    return run;
}

JFPingServices::JFPingServices(const QString &hostName, int count, PingCallback pingCallback,
                               JFPingOutput output)
    : m_hostName(hostName)
    , m_pingCallback(std::move(pingCallback))
    , m_count(count)
    , m_output(std::move(output))
{}

JFPingServices::~JFPingServices() = default;

void JFPingServices::didStartWithAddress(SimplePing &, const QByteArray &)
{
    m_output(QStringLiteral("start ping ") + m_hostName);
    sendPing();
    if (m_ended)
        return;

    m_sendTimer = std::make_unique<QTimer>();
    m_sendTimer->setInterval(SendInterval);
    // A coarse timer may fire up to 5 % early; requests go out no sooner than written.
    m_sendTimer->setTimerType(Qt::PreciseTimer);
    // The timer holds its run until the run ends.
    QObject::connect(m_sendTimer.get(), &QTimer::timeout, m_sendTimer.get(),
                     [self = shared_from_this()] { self->sendPing(); });
    m_sendTimer->start();
    report(JFPingStatus::didStart);
}

void JFPingServices::sendPing()
{
    if (m_ended)
        return;
    if (m_count < 1) {
        m_output(m_hostName + QStringLiteral(" stop"));
        clean(JFPingStatus::didFinished);
        return;
    }
    --m_count;
    m_startDate = std::chrono::steady_clock::now();
    m_pinger->sendPingWithData();
}

void JFPingServices::didSendPacket(SimplePing &, const QByteArray &, std::uint16_t sequenceNumber)
{
    m_output(QStringLiteral("%1 #%2 send packet success").arg(m_hostName).arg(sequenceNumber));
}

void JFPingServices::didReceivePingResponsePacket(SimplePing &, const QByteArray &packet,
                                                  std::uint16_t sequenceNumber)
{
    if (m_ended || !m_startDate)
        return;
    // Timed from the most recent request, whichever request the reply answers.
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - *m_startDate;
    const double milliseconds = elapsed.count();
    m_output(QStringLiteral("%1 #%2 received, size=%3 time=%4 ms")
                 .arg(m_hostName)
                 .arg(sequenceNumber)
                 .arg(packet.size())
                 .arg(QString::asprintf("%.2f", milliseconds)));
    report(JFPingStatus::didReceivePacket, milliseconds);
}

void JFPingServices::didFailToSendPacket(SimplePing &, const QByteArray &,
                                         std::uint16_t sequenceNumber, const Error &error)
{
    m_output(QStringLiteral("%1 #%2 send failed: %3")
                 .arg(m_hostName)
                 .arg(sequenceNumber)
                 .arg(error.description));
    clean(JFPingStatus::didFailToSendPacket);
}

void JFPingServices::didFailWithError(SimplePing &, const Error &error)
{
    m_output(m_hostName + QLatin1Char(' ') + error.description);
    m_output(m_hostName + QStringLiteral(" fail"));
    clean(JFPingStatus::didError);
}

void JFPingServices::report(JFPingStatus status, std::optional<double> timeMilliseconds)
{
    if (!m_pingCallback)
        return;
    JFPingItem item;
    item.hostName = m_hostName;
    item.timeMilliseconds = timeMilliseconds;
    item.status = status;
    m_pingCallback(item);
}

void JFPingServices::clean(JFPingStatus status)
{
    if (m_ended)
        return;
    m_ended = true;
    // The callback may drop the last outside reference to this run.
    const std::shared_ptr<JFPingServices> keepAlive = shared_from_this();
    report(status);

    if (m_pinger) {
        m_pinger->stop();
        // Usually called from within one of the engine's reports: release it after that event.
        QTimer::singleShot(0, [retired = std::shared_ptr<SimplePing>(std::move(m_pinger))] {});
    }
    if (m_sendTimer) {
        // This may run inside the timer's own firing; let the event loop delete it.
        m_sendTimer->stop();
        m_sendTimer.release()->deleteLater();
    }
    m_hostName = QString();
    m_startDate.reset();
    m_pingCallback = nullptr;
}
