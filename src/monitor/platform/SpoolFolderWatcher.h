#pragma once

// Watches one opened folder with inotify: exactly the folder of the descriptor, whatever its path
// leads to now. Entries created, removed or moved in or out raise folderChanged() once per batch
// of events read; a file in the folder closed after writing raises fileClosedAfterWrite() with its
// name; an overflowed event queue counts as a change. When the folder's path no longer leads to
// that folder (it was removed, perhaps made again, or moved away, so that the print queue no
// longer writes into it), the watch ends and watchLost() is emitted. Signals are emitted on the
// thread the watcher lives on, from its event loop, so handlers never overlap.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;

class SpoolFolderWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SpoolFolderWatcher(QObject *parent = nullptr);
    ~SpoolFolderWatcher() override;

    // Starts watching the opened folder, which must outlive the watch, as the folder at the path;
    // false when it cannot be watched (no access, or out of inotify resources).
    bool start(int folder, const QString &path);

Q_SIGNALS:
    void folderChanged();
    void fileClosedAfterWrite(const QString &name);
    void watchLost();

private:
    void readEvents();
    bool isStillAtPath() const;
    void stop();

    int m_descriptor = -1;
    int m_folderWatch = -1;
    int m_parentWatch = -1;
    int m_folder = -1;
    QByteArray m_path;
    QByteArray m_name;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
