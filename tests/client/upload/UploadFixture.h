#pragma once

#include "support/JobQueueFixture.h"

#include "client/service/LoginWindowState.h"

#include <memory>

// A login window whose state the test sets.
class SettableLoginWindowState : public LoginWindowState
{
public:
    bool isActive() const override { return active; }
    bool active = false;
};

// The job queue on its real parts against one simulator (HTTP API and its FTP server) for each
// suite, with a login window whose state the test sets. Each test creates its UploadService when
// its settings are in place.
class UploadFixture : public JobQueueFixture
{
protected:
    static constexpr auto kOtherEntKey = "OTHER";

    static void SetUpTestSuite();

    void createService(const QString &iniEntKey = QString(),
                       UploadService::Intervals intervals = kNoIdleExit);
    // A job whose PDF copy holds the given bytes (random ones by default).
    UploadService::Job makeJob(const QByteArray &content = QByteArray());
    // The identity that a QR login of alice leaves in the settings store.
    VQLoginResult savedIdentity() const;

    std::shared_ptr<SettableLoginWindowState> m_loginWindow =
        std::make_shared<SettableLoginWindowState>();
};
