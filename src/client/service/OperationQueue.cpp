#include "OperationQueue.h"

#include <QMutexLocker>
#include <QRunnable>

// Reports its end to the queue when it is deleted, which the pool does after running it and
// when it drops it unstarted.
class OperationQueue::PooledOperation : public QRunnable
{
public:
    PooledOperation(OperationQueue &queue, Operation operation)
        : m_queue(queue)
        , m_operation(std::move(operation))
    {}
    ~PooledOperation() override { m_queue.pooledOperationGone(); }

    void run() override
    {
        if (!m_queue.holdIfSuspended(m_operation))
            m_operation();
    }

private:
    OperationQueue &m_queue;
    Operation m_operation;
};

OperationQueue::OperationQueue(const QString &name)
{
    m_pool.setObjectName(name);
}

OperationQueue::~OperationQueue()
{
    cancelAllOperations();
    m_pool.waitForDone();
}

void OperationQueue::addOperation(Operation operation)
{
    QMutexLocker lock(&m_mutex);
    if (m_suspended) {
        m_held.append(std::move(operation));
        return;
    }
    startLocked(std::move(operation));
}

void OperationQueue::cancelAllOperations()
{
    QList<Operation> dropped;
    {
        QMutexLocker lock(&m_mutex);
        dropped.swap(m_held);
    }
    // Without the lock: the pool deletes the dropped operations here, and they report to us.
    m_pool.clear();
}

int OperationQueue::operationCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_pooledCount + int(m_held.size());
}

bool OperationQueue::isSuspended() const
{
    QMutexLocker lock(&m_mutex);
    return m_suspended;
}

void OperationQueue::setSuspended(bool suspended)
{
    QMutexLocker lock(&m_mutex);
    m_suspended = suspended;
    if (suspended)
        return;
    QList<Operation> held;
    held.swap(m_held);
    for (Operation &operation : held)
        startLocked(std::move(operation));
}

void OperationQueue::startLocked(Operation operation)
{
    ++m_pooledCount;
    m_pool.start(new PooledOperation(*this, std::move(operation)));
}

bool OperationQueue::holdIfSuspended(Operation &operation)
{
    QMutexLocker lock(&m_mutex);
    if (!m_suspended)
        return false;
    m_held.append(std::move(operation));
    return true;
}

void OperationQueue::pooledOperationGone()
{
    QMutexLocker lock(&m_mutex);
    --m_pooledCount;
}
