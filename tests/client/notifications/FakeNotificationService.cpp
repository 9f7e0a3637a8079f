#include "FakeNotificationService.h"

uint FakeNotificationService::Notify(const QString &appName, uint replacesId,
                                     const QString &appIcon, const QString &summary,
                                     const QString &body, const QStringList &actions,
                                     const QVariantMap &hints, int expireTimeout)
{
    m_notifications << Notification{appName, replacesId, appIcon, summary,
                                    body,    actions,    hints,   expireTimeout};
    return uint(m_notifications.size());
}

void FakeNotificationService::CloseNotification(uint id)
{
    m_closed << id;
}
