#include "PRNotification.h"

#include "client/platform/FreedesktopNotificationCenter.h"
#include "client/platform/Localizable.h"
#include "client/platform/LoggingNotificationCenter.h"
#include "foundation/Dispatch.h"
#include "foundation/logging/Log.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>
#include <QThreadPool>

namespace {

std::shared_ptr<UserNotificationCenter> sessionCenter()
{
    auto center = std::make_shared<FreedesktopNotificationCenter>(
        QDBusConnection::sessionBus(), std::make_shared<LoggingNotificationCenter>());
    // Its replies arrive on the main thread, whichever thread asked first.
    center->moveToThread(QCoreApplication::instance()->thread());
    return center;
}

} // namespace

PRNotification &PRNotification::shareManager()
{
    // Never destroyed: notifications may still be posted while the process ends.
    static PRNotification *const instance = new PRNotification();
    return *instance;
}

PRNotification::PRNotification(std::shared_ptr<UserNotificationCenter> center)
    : m_center(std::move(center))
{}

void PRNotification::setCenter(std::shared_ptr<UserNotificationCenter> center)
{
    QMutexLocker lock(&m_mutex);
    m_center = std::move(center);
}

std::shared_ptr<UserNotificationCenter> PRNotification::center() const
{
    QMutexLocker lock(&m_mutex);
    if (!m_center) {
        m_center = sessionCenter();
    }
    return m_center;
}

void PRNotification::pushNotificationWithTitle(const QString &title, const QString &subTitle,
                                               const QString &description)
{
    const std::shared_ptr<UserNotificationCenter> target = center();
    if (QThreadPool::globalInstance()->contains(QThread::currentThread())) {
        dispatchGlobal([target, title, subTitle, description] {
            target->deliver(title, subTitle, description);
        });
        return;
    }
    target->deliver(title, subTitle, description);
}

void PRNotification::pushFileConversionNotification(bool succeeded)
{
    const QString text =
        Localizable::string(succeeded ? "File processed successfully" : "File processed failed");
    Log::client(QStringLiteral("pushFileConversionNotification %1").arg(text));
    // Posting on the main thread delivers at once; the centre outlives this object if need be.
    dispatchMain([target = center(), text] {
        target->deliver(Localizable::string("Tarvello"), QString(), text);
    });
}

void PRNotification::removeDeliveredNotifications()
{
    center()->removeDelivered();
}
