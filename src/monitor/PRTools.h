#pragma once

// File helpers of the monitor: copy, removal, folder creation and existence by path, each path
// walked without following a link at any step (NoFollowPath) and its last component acted on
// through its folder's descriptor; the same copy and the start-up purge of expired spool PDFs on
// folders opened once; the shared mode. Stateless; any thread.

#include "MonitorDefaults.h"
#include "foundation/Error.h"

#include <QDateTime>
#include <QString>

#include <chrono>

#include <sys/stat.h>
#include <sys/types.h>

class PRTools
{
public:
    static constexpr auto kSourceMissingErrorName = "非法的源文件路径";
    static constexpr auto kSourceMissingErrorFormat = "源文件路径%1不存在，请检查源文件路径";
    static constexpr auto kErrorDomain = "PRTools";
    // The mode of every file and folder the monitor shares with other users' processes.
    static constexpr unsigned kSharedMode = 0777;

    // Copies the regular file at the source to the destination, with the source's permission bits
    // (never a set-id bit) and times, making the destination's folder with its missing parents.
    // The copy is staged under a hidden name and renamed into place, so the destination is never
    // seen half written; with overwrite, whatever is there (a file, a link, a folder) is replaced,
    // a file or link at once, never leaving the name empty. Without overwrite an existing
    // destination fails the copy. A source that is a link or not a regular file (a FIFO) fails
    // without blocking.
    static Result<Done> copyItemAtPath(const QString &source, const QString &toPath,
                                       bool overwrite);
    // Deletes the file, link (never its target) or folder with everything in it.
    static Result<Done> removeItemAtPath(const QString &path);
    // Creates the folder and any missing parents; an existing folder is success.
    static Result<Done> createDirectoryAtPath(const QString &path);
    // Whether an entry of any kind (a link counted as itself) is reached at the path.
    static bool isExistsAtPath(const QString &path);
    // The path without its last component.
    static QString directoryAtPath(const QString &path);
    // True when nothing is at the path; otherwise removes it as removeItemAtPath and tells whether
    // that worked.
    static bool removeFileAtPath(const QString &path);
    // As removeExpiredFilesInFolder, on the folder at the path when it is one of root's, the
    // backend user's or this user's.
    static void
    removeExpiredFilesAtDirPath(const QString &path,
                                std::chrono::seconds maxAge = MonitorDefaults::kSpoolMaxAge,
                                const QDateTime &now = QDateTime::currentDateTime());

    // The copy between opened folders, with the mode given; an existing destination fails it.
    // Returns the status of the source file that was copied, so that its removal can make sure it
    // removes that file only.
    static Result<struct stat> copyFileBetweenFolders(int sourceFolder, const QString &sourceName,
                                                      int destinationFolder,
                                                      const QString &destinationName, mode_t mode);
    // Deletes the opened folder's entries with the extension "pdf" (in any case) created more than
    // maxAge before now, whatever they are but folders; each only while it is the entry that was
    // dated, a link itself and never its target. Failures are skipped.
    static void
    removeExpiredFilesInFolder(int folder,
                               std::chrono::seconds maxAge = MonitorDefaults::kSpoolMaxAge,
                               const QDateTime &now = QDateTime::currentDateTime());

    // Gives the folder or regular file at the path the shared mode; a failure (another owner,
    // nothing there, a link, a folder of another user's or any other kind of entry) is ignored.
    static void setSharedMode(const QString &path);
};
