#pragma once

#include "support/JobQueueFixture.h"

#include "client/controllers/LoginWindow.h"
#include "client/controllers/MainViewController.h"
#include "client/network/TRSocketManager.h"
#include "client/service/LoginWindowState.h"

#include <QPointer>

#include <memory>

// What the job queue reads of the window: the shell's own answer, over the window object.
class WindowActiveState : public LoginWindowState
{
public:
    bool isActive() const override { return window && window->isActive(); }
    QPointer<LoginWindow> window;
};

// The login window as the application shell makes it, on the job queue's real parts against the
// simulator in-process (HTTP API and its FTP server on 127.0.0.1, one for the suite), with a push
// channel of its own (not connected unless a test does it). Each test sets up its INI file and
// settings, then opens the window.
class LoginWindowFixture : public JobQueueFixture
{
protected:
    static constexpr auto kChannelTime = "20240506091011";

    struct Ini
    {
        // Null: no EntKey line.
        QString entKey;
        bool qrLogin = true;
    };

    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Writes the INI file and creates the job queue (nothing else reads the INI file).
    void configure(const Ini &ini);
    void configure() { configure(Ini{}); }
    // Makes the window, its controller as delegate and content, and shows it, as the shell does;
    // the job queue then sees whether it is active.
    void openWindow();
    LoginWindow &window() { return *m_window; }
    MainViewController &controller() { return *m_window->contentViewController(); }

    // A queued job, as the hand-off makes it, with a small PDF; the queue has made its decision
    // about it on return.
    UploadService::Job appendJob();

    std::unique_ptr<TRSocketManager> m_pushChannel;
    std::shared_ptr<WindowActiveState> m_windowState = std::make_shared<WindowActiveState>();
    std::unique_ptr<LoginWindow> m_window;
};
