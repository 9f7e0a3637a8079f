#pragma once

// Awaitables that move the awaiting coroutine onto the thread of a Qt object: at once when it
// already runs there, otherwise it resumes from that thread's event loop. Network objects are
// only ever used on their own thread, and the client's chains continue on the main thread.

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <coroutine>

struct ResumeOnThreadOf
{
    QObject *context;

    bool await_ready() const noexcept { return QThread::currentThread() == context->thread(); }
    void await_suspend(std::coroutine_handle<> coroutine) const
    {
        QMetaObject::invokeMethod(
            context, [coroutine] { coroutine.resume(); }, Qt::QueuedConnection);
    }
    void await_resume() const noexcept {}
};

struct ResumeOnMainThread : ResumeOnThreadOf
{
    ResumeOnMainThread()
        : ResumeOnThreadOf{QCoreApplication::instance()}
    {}
};
