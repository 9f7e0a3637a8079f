#include "GatedNotificationCenter.h"

#include <QMutexLocker>

namespace {
constexpr int kEveryWaiter = 1000;
}

void GatedNotificationCenter::deliver(const QString &title, const QString &subtitle,
                                      const QString &body)
{
    QMutexLocker lock(&m_mutex);
    m_shown << QStringList{title, subtitle, body}.join(u'|');
}

void GatedNotificationCenter::removeDelivered()
{
    ++m_removals;
    if (m_gated)
        m_gate.tryAcquire(1, kGateLimitMs);
}

QStringList GatedNotificationCenter::shown() const
{
    QMutexLocker lock(&m_mutex);
    return m_shown;
}

void GatedNotificationCenter::openGate()
{
    m_gated = false;
    m_gate.release(kEveryWaiter);
}
