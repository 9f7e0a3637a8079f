#pragma once

// The folder the hand-offs copy job PDFs into, at a fixed path. It starts as the folder opened at
// start; when that folder has been removed while the monitor runs (it has no links left), remake()
// makes it again at the same path, with its missing parents, and checks it as at start (a real
// folder of a trusted owner, never a link), so that no job is lost for it and no restart is
// needed. Owns the folders it made; the one opened at start must outlive it. Any thread: several
// hand-offs at once share one remade folder, and a folder in use stays open until its last user
// lets it go.

#include "CheckedFolder.h"

#include <memory>
#include <mutex>

class CopyFolder
{
public:
    // Sticky and open to every user, as /tmp: every user's client may read the copies and nobody
    // can rename or remove another's.
    static constexpr mode_t kFolderMode = 01777;

    // The folder at the path, made with its missing parents when it is not there.
    static Result<CheckedFolder> make(const QString &path);

    explicit CopyFolder(const CheckedFolder &openedAtStart);

    std::shared_ptr<const CheckedFolder> current() const;
    // Whether the folder has been removed from the file system since it was opened.
    static bool isRemoved(const CheckedFolder &folder);
    // The folder to copy into instead of a removed one: the one another hand-off made already, or
    // one made now. A folder that was not removed is given back as it is.
    Result<std::shared_ptr<const CheckedFolder>>
    remake(const std::shared_ptr<const CheckedFolder> &removed);

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<const CheckedFolder> m_current;
};
