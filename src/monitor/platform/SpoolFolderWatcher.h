#pragma once

// Watches one folder with inotify. Entries created, removed or moved in or out raise
// folderChanged() once per batch of events read; a file in the folder closed after writing raises
// fileClosedAfterWrite() with its name; an overflowed event queue counts as a change. When the
// folder itself is removed, the watch ends and watchLost() is emitted. Signals are emitted on the
// thread the watcher lives on, from its event loop, so handlers never overlap.

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

    // Starts watching the folder; false when it cannot be watched (missing, not a folder, no
    // access, or out of inotify resources).
    bool start(const QString &folder);

Q_SIGNALS:
    void folderChanged();
    void fileClosedAfterWrite(const QString &name);
    void watchLost();

private:
    void readEvents();
    void stop();

    int m_descriptor = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
