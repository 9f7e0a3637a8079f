#include "client/service/OperationQueue.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QSemaphore>
#include <QThread>

#include <atomic>

using namespace std::chrono_literals;

namespace {

TEST(OperationQueueTest, RunsOperationsOnThreadsOfItsOwn)
{
    OperationQueue queue(QStringLiteral("upload-service-queue"));
    std::atomic<QThread *> ranOn{nullptr};
    QSemaphore done;

    queue.addOperation([&] {
        ranOn = QThread::currentThread();
        done.release();
    });

    ASSERT_TRUE(done.tryAcquire(1, 5000));
    EXPECT_NE(ranOn.load(), QThread::currentThread());
    EXPECT_EQ(queue.name(), "upload-service-queue");
}

TEST(OperationQueueTest, CancellingDropsOnlyOperationsNotYetStarted)
{
    OperationQueue queue(QStringLiteral("test-queue"));
    QSemaphore started;
    QSemaphore release;
    std::atomic<int> ran{0};

    queue.addOperation([&] {
        started.release();
        release.acquire();
        ++ran;
    });
    ASSERT_TRUE(started.tryAcquire(1, 5000));
    queue.setSuspended(true);
    queue.addOperation([&] { ++ran; });
    queue.addOperation([&] { ++ran; });
    EXPECT_EQ(queue.operationCount(), 3);

    queue.cancelAllOperations();
    release.release();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return queue.operationCount() == 0; }, 5s));
    queue.setSuspended(false);
    TestSupport::spin(100ms);
    EXPECT_EQ(ran.load(), 1);
}

TEST(OperationQueueTest, ASuspendedQueueStartsItsOperationsWhenResumed)
{
    OperationQueue queue(QStringLiteral("test-queue"));
    std::atomic<int> ran{0};
    queue.setSuspended(true);
    queue.addOperation([&] { ++ran; });
    queue.addOperation([&] { ++ran; });

    TestSupport::spin(100ms);
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(queue.operationCount(), 2);

    queue.setSuspended(false);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return ran.load() == 2; }, 5s));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return queue.operationCount() == 0; }, 5s));
}

} // namespace
