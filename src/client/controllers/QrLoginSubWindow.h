#pragma once

// The borderless sub-window beside the login window that shows the QR code for QR login. Each
// show makes a new window with a new QR view (so a new code, from the time of the show) and puts
// its lower-left corner kOverlap left of the host window's right edge and kRaise above its lower
// edge; in a LoginWindow it becomes a child window ordered below it, so that it moves, hides and
// comes back with it. Hiding detaches it and leaves it hidden with an empty frame until the next
// show replaces it.
//
// Main thread. Owns the sub-window of the last show.

#include <QString>

#include <memory>

class QWidget;

class QrLoginSubWindow
{
public:
    static constexpr int kOverlap = 3;
    static constexpr int kRaise = 95;

    QrLoginSubWindow();
    ~QrLoginSubWindow();

    // Shows a new sub-window beside the host window, with the QR code of the service address and
    // the push channel's code.
    void show(QWidget *hostWindow, const QString &serviceIP, const QString &channelCode);
    void hide(QWidget *hostWindow);

    // The sub-window of the last show, or null before the first.
    QWidget *window() const { return m_window.get(); }

private:
    std::unique_ptr<QWidget> m_window;
};
