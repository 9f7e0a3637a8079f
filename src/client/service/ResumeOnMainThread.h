#pragma once

// An awaitable that moves the awaiting coroutine onto the main thread: at once when it already
// runs there, otherwise it resumes from the main thread's event loop. The network objects of the
// chains live there, so every step after the first runs on it.

#include <QCoreApplication>
#include <QThread>

#include <coroutine>

struct ResumeOnMainThread
{
    bool await_ready() const noexcept
    {
        return QThread::currentThread() == QCoreApplication::instance()->thread();
    }
    void await_suspend(std::coroutine_handle<> coroutine) const
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [coroutine] { coroutine.resume(); },
            Qt::QueuedConnection);
    }
    void await_resume() const noexcept {}
};
