#pragma once

// A notification centre that keeps what it was shown. With its gate closed, removeDelivered()
// (the first action of a login operation) holds its thread until the gate opens, so that a test
// can keep an operation running. Any thread.

#include "client/platform/UserNotificationCenter.h"

#include <QList>
#include <QMutex>
#include <QSemaphore>
#include <QStringList>

#include <atomic>

class GatedNotificationCenter : public UserNotificationCenter
{
public:
    void deliver(const QString &title, const QString &subtitle, const QString &body) override;
    void removeDelivered() override;

    // "title|subtitle|body" of every notification, oldest first.
    QStringList shown() const;
    int removals() const { return m_removals.load(); }

    void closeGate()
    {
        m_gate.tryAcquire(m_gate.available()); // no permit left over from an earlier opening
        m_gated = true;
    }
    void openGate();

private:
    static constexpr int kGateLimitMs = 10000;

    mutable QMutex m_mutex;
    QStringList m_shown;
    std::atomic<int> m_removals{0};
    std::atomic<bool> m_gated{false};
    QSemaphore m_gate;
};
