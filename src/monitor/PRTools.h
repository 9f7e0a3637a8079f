#pragma once

// File helpers of the monitor: listing, copying without following links, removal, folder creation
// and the start-up purge of expired spool PDFs. Stateless; any thread.

#include "MonitorDefaults.h"
#include "foundation/Error.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

#include <sys/types.h>

class PRTools
{
public:
    static constexpr auto kSourceMissingErrorName = "非法的源文件路径";
    static constexpr auto kSourceMissingErrorFormat = "源文件路径%1不存在，请检查源文件路径";
    static constexpr auto kErrorDomain = "PRTools";
    // The mode of every file and folder the monitor shares with other users' processes.
    static constexpr unsigned kSharedMode = 0777;

    // The names of the folder's entries (no "." or ".."), or nullopt when it cannot be listed.
    static std::optional<QStringList> contentsOfDirectoryAtPath(const QString &path);

    // Copies a regular file's contents, mode (or the mode given) and times. The destination's
    // folder is created when missing; neither the source, that folder nor the destination is
    // reached through a symbolic link, a source that is not a regular file (a FIFO) fails without
    // blocking, and an existing destination fails the copy unless overwrite is set.
    static Result<Done> copyItemAtPath(const QString &source, const QString &destination,
                                       bool overwrite,
                                       std::optional<mode_t> modeOfCopy = std::nullopt);
    // Deletes the file, link or folder (with its contents) at the path.
    static Result<Done> removeItemAtPath(const QString &path);
    // Creates the folder and any missing parents.
    static Result<Done> createDirectoryAtPath(const QString &path);
    static bool isExistsAtPath(const QString &path);
    // The path without its last component.
    static QString directoryAtPath(const QString &path);
    // True when nothing is at the path, otherwise whether deleting it worked.
    static bool removeFileAtPath(const QString &path);

    // Gives the folder or regular file at the path the shared mode; a failure (another owner,
    // nothing there, a link or any other kind of entry) is ignored.
    static void setSharedMode(const QString &path);

    // The file's creation time, or, where the file system keeps none, its modification time.
    static std::optional<QDateTime> creationDateOfItemAtPath(const QString &path);

    // Deletes the folder's PDFs (extension "pdf" in any case; not folders) created more than
    // maxAge before now. Failures are skipped.
    static void
    removeExpiredFilesAtDirPath(const QString &path,
                                std::chrono::seconds maxAge = MonitorDefaults::kSpoolMaxAge,
                                const QDateTime &now = QDateTime::currentDateTime());
};
