#pragma once

// The lock that makes one monitor the machine's only one that takes jobs, since the spool folder
// is one per machine: an exclusive flock on a file in the spool tree, held on its open descriptor
// until the object goes (for vqmmonitor, until the process ends). The installation makes the file,
// root's and read-only to the others; every monitor opens it for reading only, which is all a lock
// needs. Every local user can add entries to that tree, so the file is reached only through its
// folder's descriptor and never through a link, is used only when it is a regular file with no
// other name owned by root, the backend's user or this user, and is never opened by its path again
// once held. Where the installation was skipped, the first monitor makes it. The monitors that
// wait learn the holder's pid from the kernel's list of locks. The descriptor is closed on exec:
// programs the monitor starts (the client) never keep the lock. One thread at a time.

#include "foundation/SharedFolderFiles.h"

#include <QString>

#include <sys/types.h>

class MonitorLock
{
public:
    // The installation's mode: every user's monitor opens the file to wait on it, only its owner
    // writes it.
    static constexpr mode_t kMode = 0644;

    enum class State {
        Held,
        HeldByAnother,
        Unusable, // the entry is not a plain regular file of a trusted owner, or it cannot be
                  // opened or locked
    };

    struct Attempt
    {
        State state = State::Unusable;
        // With HeldByAnother: the holder's pid, or 0 when the kernel does not tell it.
        qint64 holderPid = 0;
        // With Unusable: why.
        QString reason;
    };

    // The lock file's path; its folder must exist. The file is made when missing.
    explicit MonitorLock(QString path);

    // Takes the lock when nobody holds it, without waiting. Once held, answers Held.
    Attempt tryLock();
    bool isHeld() const { return m_file.valid(); }
    const QString &path() const { return m_path; }

private:
    Attempt lockEntryOf(int folder, const QString &name);

    const QString m_path;
    FileDescriptor m_file;
};
