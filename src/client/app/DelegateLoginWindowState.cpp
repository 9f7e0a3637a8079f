#include "DelegateLoginWindowState.h"

#include "AppDelegate.h"

#include "client/controllers/LoginWindow.h"
#include "client/controllers/MainViewController.h"

DelegateLoginWindowState::DelegateLoginWindowState(AppDelegate &delegate)
    : m_delegate(&delegate)
{}

bool DelegateLoginWindowState::isActive() const
{
    return m_delegate && m_delegate->loginWindow() && m_delegate->loginWindow()->isActive();
}
