#pragma once

// A stand-in for the desktop's notification service (org.freedesktop.Notifications) that shows
// nothing and appends every notification to a file, one JSON object a line ("id", "appName",
// "summary", "body"), flushed at once so that a reader sees it while the recorder runs. Runs on
// the main thread; QtDBus calls the slots there as the calls arrive.

#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class NotificationRecorder : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    static constexpr auto kService = "org.freedesktop.Notifications";
    static constexpr auto kPath = "/org/freedesktop/Notifications";

    explicit NotificationRecorder(const QString &recordPath, QObject *parent = nullptr);

    // Opens the record file for appending; false with a message on standard error otherwise.
    bool open();

public Q_SLOTS:
    Q_SCRIPTABLE uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                             const QString &summary, const QString &body,
                             const QStringList &actions, const QVariantMap &hints,
                             int expireTimeout);
    Q_SCRIPTABLE void CloseNotification(uint id);
    Q_SCRIPTABLE QStringList GetCapabilities() const;
    Q_SCRIPTABLE QString GetServerInformation(QString &vendor, QString &version,
                                              QString &specVersion) const;

Q_SIGNALS:
    Q_SCRIPTABLE void NotificationClosed(uint id, uint reason);

private:
    // The reason code of a notification closed by a CloseNotification call.
    static constexpr uint kClosedByCall = 3;

    QFile m_record;
    uint m_lastId = 0;
};
