#pragma once

// The client's job queue and upload pipeline on real parts, with faults put in their way: the
// printing-service simulator (in-process, HTTP on 127.0.0.1) behind a proxy that can cut or
// replace its replies, and an FTP server (pyftpdlib) that can be told to fail uploads in one of
// its ways. Each test gets a new simulator, FTP server, settings store and job queue in a
// temporary folder, a saved account, recorded notifications, counted show-login posts, recorded
// exits and the log lines. Nothing leaves 127.0.0.1.

#include "FaultyHttpProxy.h"

#include "support/FtpServerFixture.h"
#include "support/JobQueueFixture.h"
#include "support/LogCapture.h"

#include <memory>

class ChainFaultFixture : public JobQueueFixture
{
protected:
    void TearDown() override;

    // Starts the FTP server with its fault ("none", "refuse-login", "drop-data", "full-at-store",
    // "full-during"), the simulator naming it, the proxy and the job queue.
    void start(const QString &ftpFault = QStringLiteral("none"),
               std::chrono::milliseconds transportTimeout = kTransportTimeout);
    ServiceSimulator &sim() const override { return *m_sim; }

    // Queues a new job (a PDF of random bytes); the saved account logs in and uploads it.
    UploadService::Job appendJob();
    // Logs in again with the saved account for the head job, as the user does from the window.
    void loginAgain();

    // Texts the chains show for their own outcomes.
    static QString uploadSucceededText();
    static QString loginSucceededText();
    static QString uploadFailedText();

    std::unique_ptr<FtpServerFixture> m_ftp;
    std::unique_ptr<ServiceSimulator> m_sim;
    FaultyHttpProxy m_proxy;
    LogCapture m_log;
};
