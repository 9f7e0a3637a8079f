#pragma once

// spdlog sink that writes entries to files in one folder and rolls them: a file is closed once it
// is older than the rolling frequency or when the next entry would take it past the maximum size,
// and the next entry goes to a new file named by the naming policy. When that name is taken (by
// any entry: a file, a folder, a link, even one that leads nowhere), the new file gets a numeric
// suffix before its extension: "Monitor_2024.03.05 1.log", then " 2", ... A new file is always
// created afresh (O_CREAT|O_EXCL|O_NOFOLLOW in the folder opened without following a link), so
// that no link put into a shared log folder makes the sink write elsewhere. The folder must be a
// real folder owned by root or by this user; a link or another user's folder at its name is
// refused, and the files are listed, dated and deleted through the opened folder only.
// Whenever a file is taken, continued at the first entry or newly opened, the oldest log files (as
// the policy counts them, oldest by creation time) are deleted until at most
// maximumNumberOfLogFiles remain and, with a quota, their total size is within the quota; the
// current file is never deleted.
//
// At the first entry the newest log file in the folder is continued when it is young and small
// enough and still a regular file (never through a link). The folder is created when missing; when
// neither folder nor file can be had, the failure is reported once on standard error and entries go
// to the other sinks only.
//
// Runs on the logging thread (base_sink's mutex serialises all calls). Every entry is written
// through to the file at once.

#include "LogFileNamingPolicy.h"
#include "foundation/SharedFolderFiles.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <spdlog/sinks/base_sink.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

struct RollingFileLimits
{
    static constexpr std::chrono::seconds kDefaultRollingFrequency{86400};
    static constexpr qint64 kDefaultMaximumFileSize = 1048576;
    static constexpr int kDefaultMaximumNumberOfLogFiles = 7;

    std::chrono::seconds rollingFrequency = kDefaultRollingFrequency;
    qint64 maximumFileSize = kDefaultMaximumFileSize;
    int maximumNumberOfLogFiles = kDefaultMaximumNumberOfLogFiles;
    qint64 logFilesDiskQuota = 0; // total bytes of all log files; 0: no quota
};

class RollingFileSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
    using Clock = std::function<QDateTime()>;

    RollingFileSink(QString folder, std::shared_ptr<const LogFileNamingPolicy> naming,
                    RollingFileLimits limits = {}, Clock clock = {});
    ~RollingFileSink() override;

    // The path of the file being written, or null before the first entry and after a failure.
    QString currentFilePath();

protected:
    void sink_it_(const spdlog::details::log_msg &message) override;
    void flush_() override;

private:
    bool ensureFile(qint64 nextEntrySize);
    // Continues the newest file at the first entry, else opens a new one.
    bool takeFile();
    bool continueNewestFile();
    bool openNewFile();
    bool openFolder(bool reportFailures);
    // Creates the first free name of the proposed one and its numbered forms, and writes to it.
    std::optional<QString> createFreeFile(const QString &proposed);
    bool useFile(FileDescriptor file, const QString &name, const QDateTime &created);
    void closeFile();
    void deleteOldFiles();
    // The folder's log files, newest first.
    struct LogFile;
    QList<LogFile> logFiles() const;
    QDateTime now() const;
    void reportFailure(const QString &what);

    const QString m_folder;
    const std::shared_ptr<const LogFileNamingPolicy> m_naming;
    const RollingFileLimits m_limits;
    const Clock m_clock;

    FileDescriptor m_folderFd;
    int m_fd = -1;
    QString m_name;
    QString m_path;
    QDateTime m_created;
    qint64 m_size = 0;
    QHash<QString, quint64> m_creationOrder; // names of the files this sink made, in order
    quint64 m_filesMade = 0;
    bool m_started = false;
    bool m_failureReported = false;
};
