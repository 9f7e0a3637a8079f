#pragma once

// File helpers of the monitor: copying between opened folders without following links, folder
// creation, the shared mode and the start-up purge of expired spool PDFs. Nothing here removes by
// path or removes a folder. Stateless; any thread.

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

    // Copies a regular file of one opened folder into a new entry of another, with the mode given,
    // keeping its times. The source entry is never followed when it is a link, and one that is not
    // a regular file (a FIFO) fails without blocking; an existing destination fails the copy.
    // Returns the status of the source file that was copied, so that its removal can make sure it
    // removes that file only.
    static Result<struct stat> copyItem(int sourceFolder, const QString &sourceName,
                                        int destinationFolder, const QString &destinationName,
                                        mode_t mode);
    // Creates the folder and any missing parents.
    static Result<Done> createDirectoryAtPath(const QString &path);
    static bool isExistsAtPath(const QString &path);

    // Gives the folder or regular file at the path the shared mode; a failure (another owner,
    // nothing there, a link, a folder of another user's or any other kind of entry) is ignored.
    static void setSharedMode(const QString &path);

    // Deletes the opened folder's PDFs (regular files with the extension "pdf" in any case) created
    // more than maxAge before now, each only while it is the file that was dated. Failures are
    // skipped.
    static void removeExpiredFiles(int folder,
                                   std::chrono::seconds maxAge = MonitorDefaults::kSpoolMaxAge,
                                   const QDateTime &now = QDateTime::currentDateTime());
};
