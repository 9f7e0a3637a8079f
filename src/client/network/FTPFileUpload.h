#pragma once

// Puts one local file (the job PDF copy) onto the FTP target that the service names for a job:
// first every directory level of the target's `dir`, each as an exchange of its own, then the
// file under its own name into `ip` followed by `dir`.
//
// The file is read only from a descriptor opened, before anything is sent, through the copy
// folder check: a copy that is not a regular file of this user's directly in the copy folder (a
// link, a FIFO, a folder, another user's file) fails the upload at once and nothing reaches the
// server. A copy that is missing fails at the upload step, after the directory requests.
//
// uploadFileWithFtpInfo() runs the work on a global-pool thread and resumes its caller on the
// caller's thread (the main thread for the upload chain) with "1" (uploaded) or "0" (failed); it
// never fails otherwise. Each directory request is guarded by a timer on the main thread whose
// action, requestTimeout(), aborts it when it hangs; the guard of a request that has ended does
// nothing. The upload itself is bounded only by the exchange's stall limit.
//
// The FTP client, which knows the request running at the moment, is shared with the pool thread
// and the guard timers, so the object may go away while a transfer runs.

#include "FtpExchange.h"

#include "client/models/VQJobInfoResult.h"
#include "client/platform/CopyFolderCheck.h"

#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <memory>

class FtpClient;

class FTPFileUpload
{
public:
    static constexpr std::chrono::milliseconds kDirectoryRequestTimeout{10000};
    // The timer of startTimer().
    static constexpr std::chrono::milliseconds kRunLoopTimerTimeout{5000};

    explicit FTPFileUpload(
        CopyFolderCheck copyFolder = CopyFolderCheck(),
        std::chrono::milliseconds directoryRequestTimeout = kDirectoryRequestTimeout,
        std::chrono::milliseconds runLoopTimerTimeout = kRunLoopTimerTimeout);
    virtual ~FTPFileUpload();

    FTPFileUpload(const FTPFileUpload &) = delete;
    FTPFileUpload &operator=(const FTPFileUpload &) = delete;

    // The one operation of the upload chain; virtual so that a chain's tests may stand in a
    // scripted outcome.
    virtual QCoro::Task<QString> uploadFileWithFtpInfo(VQJobInfoResult target,
                                                       QString localFilePath);

    // The whole transfer, synchronously on the calling thread; the directory guards fire only
    // while the main thread's event loop runs.
    bool asyncUploadFileWithFtpInfo(const VQJobInfoResult &target,
                                    const QString &localFilePath) const;

    // The guard timer's action: logs "ftp requestTimeout" and aborts the FTP request running at
    // the moment (if any), whose blocked caller then goes on with a failure. Any thread.
    void requestTimeout() const;

    // The FTP client reports an upload's progress here, on the transferring thread; nothing is
    // shown or kept.
    static void ftpManagerUploadProgressDidChange(const FtpExchange::Progress &progress);

    // Starts a one-shot precise timer of the run-loop timeout on the calling thread, with
    // requestTimeout() as its action, then runs that thread's event loop until the thread is told
    // to quit; it never returns by itself.
    void startTimer() const;

    // Moves the file to the new path, never over an existing one; whether it moved.
    static bool renameFileName(const QString &oldPath, const QString &uuidPath);

    // A new UUID, upper-case 8-4-4-4-12.
    static QString stringWithUUID();

    // The directories asked for, in order: the components of `dir` after the first, joined
    // level by level ("/a/b" gives "a", "a/b").
    static QStringList directoryRequests(const QString &dir);

    // The port of a port text: its leading decimal number, 0 when it has none.
    static long portNumber(const QString &portText);

private:
    CopyFolderCheck m_copyFolder;
    std::chrono::milliseconds m_directoryRequestTimeout;
    std::chrono::milliseconds m_runLoopTimerTimeout;
    std::shared_ptr<FtpClient> m_man;
};
