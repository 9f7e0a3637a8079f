#include "QrLoginSubWindow.h"

#include "LoginWindow.h"
#include "QRCodeVC.h"

#include <QWidget>

namespace {

// Borderless, above other windows like the login window, never taking the keyboard.
constexpr Qt::WindowFlags kWindowFlags =
    Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;

} // namespace

QrLoginSubWindow::QrLoginSubWindow() = default;

QrLoginSubWindow::~QrLoginSubWindow() = default;

void QrLoginSubWindow::show(QWidget *hostWindow, const QString &serviceIP,
                            const QString &channelCode)
{
    auto *loginWindow = qobject_cast<LoginWindow *>(hostWindow);
    if (m_window && loginWindow)
        loginWindow->removeChildWindow(m_window.get());
    m_window = std::make_unique<QWidget>(nullptr, kWindowFlags);
    auto *qrCode = new QRCodeVC(serviceIP, channelCode, m_window.get());
    // The window takes the size of the QR view; its lower-left corner stays where it is placed.
    m_window->setFixedSize(qrCode->size());
    const QRect frame = hostWindow->frameGeometry();
    const int bottomEdge = frame.y() + frame.height() - kRaise;
    m_window->move(frame.x() + frame.width() - kOverlap, bottomEdge - m_window->height());
    if (loginWindow)
        loginWindow->addChildWindow(m_window.get(), LoginWindow::WindowOrdering::Below);
    else
        m_window->show();
}

void QrLoginSubWindow::hide(QWidget *hostWindow)
{
    if (!m_window)
        return;
    if (auto *loginWindow = qobject_cast<LoginWindow *>(hostWindow))
        loginWindow->removeChildWindow(m_window.get());
    m_window->hide();
    m_window->setMinimumSize(0, 0);
    m_window->setGeometry(QRect());
}
