#pragma once

// A named queue of operations on a thread pool of its own. Operations start in order of arrival
// as pool threads become free, several at once up to the pool's limit. cancelAllOperations()
// drops the operations that have not started; one that runs goes on to its end. While the queue
// is suspended no further operation starts; resuming starts the held ones.
//
// Any thread. The destructor drops what has not started and waits for what runs.

#include <QList>
#include <QMutex>
#include <QString>
#include <QThreadPool>

#include <functional>

class OperationQueue
{
public:
    using Operation = std::function<void()>;

    explicit OperationQueue(const QString &name);
    ~OperationQueue();

    OperationQueue(const OperationQueue &) = delete;
    OperationQueue &operator=(const OperationQueue &) = delete;

    QString name() const { return m_pool.objectName(); }

    void addOperation(Operation operation);
    void cancelAllOperations();

    // Operations added and not yet ended or dropped: waiting, held or running.
    int operationCount() const;

    bool isSuspended() const;
    void setSuspended(bool suspended);

private:
    class PooledOperation;

    // With m_mutex held.
    void startLocked(Operation operation);
    // Keeps an operation that a pool thread was about to run when the queue is suspended.
    bool holdIfSuspended(Operation &operation);
    void pooledOperationGone();

    mutable QMutex m_mutex;
    bool m_suspended = false;
    int m_pooledCount = 0;
    QList<Operation> m_held;
    // Last: destroyed first, while the counters its operations report to still exist.
    QThreadPool m_pool;
};
