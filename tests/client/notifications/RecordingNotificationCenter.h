#pragma once

// A notification centre that keeps what it was given, and on which thread. With a gate it holds
// each delivery until the test opens the gate (or a time limit passes), so that a test can tell
// whether a caller waited for the delivery. Any thread.

#include "client/platform/UserNotificationCenter.h"

#include <QList>
#include <QMutex>
#include <QSemaphore>
#include <QThread>

class RecordingNotificationCenter : public UserNotificationCenter
{
public:
    struct Delivery
    {
        QString title;
        QString subtitle;
        QString body;
        QThread *thread = nullptr;
    };

    void deliver(const QString &title, const QString &subtitle, const QString &body) override;
    void removeDelivered() override;

    QList<Delivery> deliveries() const;
    int removals() const;

    void closeGate() { m_gated = true; }
    void openGate() { m_gate.release(1000); }

private:
    static constexpr int kGateLimitMs = 5000;

    mutable QMutex m_mutex;
    QList<Delivery> m_deliveries;
    int m_removals = 0;
    std::atomic<bool> m_gated{false};
    QSemaphore m_gate;
};
