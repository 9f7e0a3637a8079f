#include "FreedesktopNotificationCenter.h"

#include "foundation/logging/Log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMutexLocker>
#include <QThread>
#include <QVariantMap>

namespace {

// Let the service decide how long a notification stays.
constexpr int kServerDefaultTimeout = -1;
constexpr uint kNewNotification = 0;

} // namespace

FreedesktopNotificationCenter::FreedesktopNotificationCenter(
    QDBusConnection bus, std::shared_ptr<UserNotificationCenter> fallback)
    : m_bus(std::move(bus))
    , m_fallback(std::move(fallback))
{
    // A notification the user or the service closed needs no closing later.
    m_bus.connect(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                  QString::fromLatin1(kInterface), QStringLiteral("NotificationClosed"), this,
                  SLOT(forget(uint, uint)));
}

void FreedesktopNotificationCenter::setFallback(std::shared_ptr<UserNotificationCenter> fallback)
{
    QMutexLocker lock(&m_fallbackMutex);
    m_fallback = std::move(fallback);
}

std::shared_ptr<UserNotificationCenter> FreedesktopNotificationCenter::fallback() const
{
    QMutexLocker lock(&m_fallbackMutex);
    return m_fallback;
}

void FreedesktopNotificationCenter::deliver(const QString &title, const QString &subtitle,
                                            const QString &body)
{
    if (QThread::currentThread() == thread()) {
        notify(title, subtitle, body);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, title, subtitle, body] { notify(title, subtitle, body); },
        Qt::QueuedConnection);
}

void FreedesktopNotificationCenter::removeDelivered()
{
    if (QThread::currentThread() == thread()) {
        closeDelivered();
        return;
    }
    QMetaObject::invokeMethod(
        this, [this] { closeDelivered(); }, Qt::QueuedConnection);
}

void FreedesktopNotificationCenter::notify(const QString &title, const QString &subtitle,
                                           const QString &body)
{
    const std::shared_ptr<UserNotificationCenter> instead = fallback();
    if (!m_bus.isConnected()) {
        if (instead) {
            instead->deliver(title, subtitle, body);
        }
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                       QString::fromLatin1(kInterface), QStringLiteral("Notify"));
    // Notify(s app_name, u replaces_id, s app_icon, s summary, s body, as actions, a{sv} hints,
    // i expire_timeout): every type must match exactly. The service has no subtitle: it becomes
    // the first line of the body.
    call << QString::fromLatin1(kAppName) << kNewNotification << QString() << title
         << bodyWithSubtitle(subtitle, body) << QStringList() << QVariantMap()
         << kServerDefaultTimeout;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, title, subtitle, body] {
                watcher->deleteLater();
                const QDBusPendingReply<uint> reply = *watcher;
                if (!reply.isError()) {
                    m_delivered << reply.value();
                    return;
                }
                Log::client(QStringLiteral("!!notification service unavailable: %1")
                                .arg(reply.error().message()));
                if (const std::shared_ptr<UserNotificationCenter> instead = fallback()) {
                    instead->deliver(title, subtitle, body);
                }
            });
}

void FreedesktopNotificationCenter::closeDelivered()
{
    for (const uint id : std::as_const(m_delivered)) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromLatin1(kService), QString::fromLatin1(kPath),
            QString::fromLatin1(kInterface), QStringLiteral("CloseNotification"));
        call << id;
        // Nothing to do about a notification that is already gone.
        m_bus.send(call);
    }
    m_delivered.clear();
    if (const std::shared_ptr<UserNotificationCenter> instead = fallback()) {
        instead->removeDelivered();
    }
}

void FreedesktopNotificationCenter::forget(uint id, uint)
{
    m_delivered.removeAll(id);
}
