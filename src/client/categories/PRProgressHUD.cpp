#include "PRProgressHUD.h"

#include "client/platform/AssertionHandler.h"

#include <QWidget>

namespace {

bool isTakenMode(int mode)
{
    switch (ToastView::Mode(mode)) {
    case ToastView::Mode::Indeterminate:
    case ToastView::Mode::DeterminateHorizontalBar:
    case ToastView::Mode::Text:
        return true;
    }
    return false;
}

} // namespace

PRProgressHUD &PRProgressHUD::shareinstance()
{
    static PRProgressHUD *const instance = new PRProgressHUD;
    return *instance;
}

void PRProgressHUD::show(const QString &text, QWidget *view, int mode)
{
    if (!view) {
        AssertionHandler::handleFailure("must not be nil");
        return;
    }
    PRProgressHUD &self = shareinstance();
    if (self.m_hud) {
        self.m_hud->hideAnimated(true);
        self.m_hud = nullptr;
    }
    auto *hud = new ToastView(view);
    hud->showAnimated(true);
    self.m_hud = hud;
    hud->setLabelText(text);
    if (isTakenMode(mode))
        hud->setMode(ToastView::Mode(mode));
}

void PRProgressHUD::showMessage(const QString &text, QWidget *view)
{
    show(text, view, int(ToastView::Mode::Text));
    if (ToastView *hud = shareinstance().m_hud)
        hud->hideAnimated(true, kMessageDuration);
}

void PRProgressHUD::hide()
{
    if (ToastView *hud = shareinstance().m_hud)
        hud->hideAnimated(true);
}
