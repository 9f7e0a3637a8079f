#include "TrayNotificationCenter.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

TrayNotificationCenter::TrayNotificationCenter(std::shared_ptr<UserNotificationCenter> lastResort)
    : m_lastResort(std::move(lastResort))
{}

void TrayNotificationCenter::setTrayIcon(QSystemTrayIcon *trayIcon)
{
    m_trayIcon = trayIcon;
}

void TrayNotificationCenter::deliver(const QString &title, const QString &subtitle,
                                     const QString &body)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (QThread::currentThread() == application->thread()) {
        show(title, subtitle, body);
        return;
    }
    QMetaObject::invokeMethod(
        application,
        [self = shared_from_this(), title, subtitle, body] { self->show(title, subtitle, body); },
        Qt::QueuedConnection);
}

void TrayNotificationCenter::removeDelivered()
{
    m_lastResort->removeDelivered();
}

bool TrayNotificationCenter::canShow() const
{
    return m_trayIcon && m_trayIcon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable() &&
           QSystemTrayIcon::supportsMessages();
}

void TrayNotificationCenter::show(const QString &title, const QString &subtitle,
                                  const QString &body)
{
    if (!canShow()) {
        m_lastResort->deliver(title, subtitle, body);
        return;
    }
    // The tray shows no subtitle: it becomes the first line of the body.
    m_trayIcon->showMessage(title, bodyWithSubtitle(subtitle, body), QSystemTrayIcon::Information);
}
