#pragma once

// The job queue's view of the real login window: active while the delegate's window is on
// screen; no window yet, or no delegate any more, counts as not active. Main thread.

#include "client/service/LoginWindowState.h"

#include <QPointer>

class AppDelegate;

class DelegateLoginWindowState : public LoginWindowState
{
public:
    explicit DelegateLoginWindowState(AppDelegate &delegate);

    bool isActive() const override;

private:
    QPointer<AppDelegate> m_delegate;
};
