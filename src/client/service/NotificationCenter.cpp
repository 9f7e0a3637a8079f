#include "NotificationCenter.h"

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter *const center = new NotificationCenter();
    return *center;
}

NotificationCenter::NotificationCenter(QObject *parent)
    : QObject(parent)
{}

void NotificationCenter::postNotificationName(const QString &name)
{
    emit notificationPosted(name);
}
