#pragma once

// What the job queue needs to know of the login window: whether it is on screen. The queue waits
// for the user while it is, and does not end the process. The application shell provides the real
// state; a missing window counts as not active. Read on the main thread.

class LoginWindowState
{
public:
    virtual ~LoginWindowState() = default;

    virtual bool isActive() const = 0;
};
