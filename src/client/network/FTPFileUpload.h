#pragma once

// Puts one local file (the job PDF copy) onto the FTP target that the service names for a job:
// first every directory level of the target's `dir`, each as an exchange of its own, then the
// file under its own name into `ip` followed by `dir`.
//
// uploadFileWithFtpInfo() runs the work on a global-pool thread and resumes its caller on the
// caller's thread (the main thread for the upload chain) with "1" (uploaded) or "0" (failed); it
// never fails otherwise. Each directory request is guarded by a timer on the main thread that
// aborts it when it hangs; the guard of a request that has ended does nothing. The upload itself
// is bounded only by the exchange's stall limit.
//
// The object keeps no state of a transfer, so it may go away while one runs.

#include "client/models/VQJobInfoResult.h"

#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <chrono>

class FTPFileUpload
{
public:
    static constexpr std::chrono::milliseconds kDirectoryRequestTimeout{10000};

    explicit FTPFileUpload(
        std::chrono::milliseconds directoryRequestTimeout = kDirectoryRequestTimeout);
    virtual ~FTPFileUpload() = default;

    // The one operation of the upload chain; virtual so that a chain's tests may stand in a
    // scripted outcome.
    virtual QCoro::Task<QString> uploadFileWithFtpInfo(VQJobInfoResult target,
                                                       QString localFilePath);

    // The whole transfer, synchronously on the calling thread; the directory guards fire only
    // while the main thread's event loop runs.
    bool asyncUploadFileWithFtpInfo(const VQJobInfoResult &target,
                                    const QString &localFilePath) const;

    // The directories asked for, in order: the components of `dir` after the first, joined
    // level by level ("/a/b" gives "a", "a/b").
    static QStringList directoryRequests(const QString &dir);

    // The port of a port text: its leading decimal number, 0 when it has none.
    static long portNumber(const QString &portText);

private:
    std::chrono::milliseconds m_directoryRequestTimeout;
};
