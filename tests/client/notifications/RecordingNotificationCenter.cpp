#include "RecordingNotificationCenter.h"

#include <QMutexLocker>

void RecordingNotificationCenter::deliver(const QString &title, const QString &subtitle,
                                          const QString &body)
{
    if (m_gated) {
        m_gate.tryAcquire(1, kGateLimitMs);
    }
    QMutexLocker lock(&m_mutex);
    m_deliveries << Delivery{title, subtitle, body, QThread::currentThread()};
}

void RecordingNotificationCenter::removeDelivered()
{
    QMutexLocker lock(&m_mutex);
    ++m_removals;
}

QList<RecordingNotificationCenter::Delivery> RecordingNotificationCenter::deliveries() const
{
    QMutexLocker lock(&m_mutex);
    return m_deliveries;
}

int RecordingNotificationCenter::removals() const
{
    QMutexLocker lock(&m_mutex);
    return m_removals;
}
