#pragma once

// The login-window state before the application shell has a window: never active. Any thread.

#include "LoginWindowState.h"

class InactiveLoginWindowState : public LoginWindowState
{
public:
    bool isActive() const override { return false; }
};
