#include "Dispatch.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>

void dispatchMain(std::function<void()> work)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

void dispatchMainAfter(int milliseconds, std::function<void()> work)
{
    // The single-shot timer must live on the main thread, whichever thread asks for it.
    dispatchMain([milliseconds, work = std::move(work)]() mutable {
        QTimer::singleShot(milliseconds, QCoreApplication::instance(), std::move(work));
    });
}

void dispatchGlobal(std::function<void()> work)
{
    QThreadPool::globalInstance()->start(std::move(work));
}
