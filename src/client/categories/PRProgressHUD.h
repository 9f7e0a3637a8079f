#pragma once

// One progress overlay at a time: showing a new one first hides the one shown before. The
// overlay is a ToastView over the view given. Nothing in the client's own flow uses it; it serves
// windows that need a busy or message overlay.
//
// Main thread. shareinstance() is the process's instance, made on first use and never destroyed;
// the class-level operations act on it.

#include "ToastView.h"

#include <QPointer>
#include <QString>

class QWidget;

class PRProgressHUD
{
public:
    static constexpr std::chrono::milliseconds kMessageDuration{2000};

    static PRProgressHUD &shareinstance();

    // Hides the overlay shown (animated), then shows a new one on the view (required) with the
    // text. Only the modes Indeterminate (0), DeterminateHorizontalBar (2) and Text (5) are taken;
    // any other value keeps the overlay's default, Indeterminate.
    static void show(const QString &text, QWidget *view, int mode);
    // A text-only overlay that hides itself after kMessageDuration.
    static void showMessage(const QString &text, QWidget *view);
    // Hides the overlay shown, if any.
    static void hide();

    // The overlay shown last; null once it has gone.
    ToastView *hud() const { return m_hud; }

private:
    QPointer<ToastView> m_hud;
};
