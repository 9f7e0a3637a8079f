#include "UploadFixture.h"

#include "support/CoarseTimerPhase.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using namespace std::chrono_literals;

namespace {

// The job list, the idle timer and the idle check, with short intervals. No account is saved, so
// a first job only asks for the login window and no chain starts.
class JobQueueTest : public UploadFixture
{
protected:
    static constexpr std::chrono::milliseconds kInterval = 250ms;

    void createQuickService()
    {
        createService(QString(), UploadService::Intervals{kInterval, kInterval});
    }

    bool waitForExit(std::chrono::milliseconds limit = 5s)
    {
        return TestSupport::waitUntil([&] { return !m_exitStatuses.isEmpty(); }, limit);
    }

    static qint64 earliest(int intervals) { return intervals * kInterval.count(); }
};

// Intervals long enough for Qt's coarse timers to round them; each timer is started at the phase
// where such rounding makes it fire early.
constexpr UploadService::Intervals kRoundableIntervals{1000ms, 2000ms};

TEST_F(JobQueueTest, WithoutAJobTheExitComesNoEarlierThanTheIdleTimerAndTheCheck)
{
    CoarseTimerPhase::waitToStart(kRoundableIntervals.idleTimer);
    createService(QString(), kRoundableIntervals);

    ASSERT_TRUE(waitForExit(10s));
    EXPECT_GE(m_firstExitAfterMs,
              (kRoundableIntervals.idleTimer + kRoundableIntervals.idleCheckDelay).count());
}

TEST_F(JobQueueTest, TheIdleCheckAfterTheLastJobLeftComesNoEarlierThanItsDelay)
{
    createService(QString(), UploadService::Intervals{kNoIdleExit.idleTimer,
                                                      kRoundableIntervals.idleCheckDelay});
    const auto job = makeJob();
    m_service->appendJob(job);

    CoarseTimerPhase::waitToStart(kRoundableIntervals.idleCheckDelay);
    QElapsedTimer sinceRemoval;
    sinceRemoval.start();
    m_service->removeJob(job);
    ASSERT_TRUE(waitForExit(10s));
    EXPECT_GE(sinceRemoval.elapsed(), kRoundableIntervals.idleCheckDelay.count());
}

TEST_F(JobQueueTest, WithoutAJobTheClientExitsAfterTwoIntervals)
{
    createQuickService();

    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(m_exitStatuses.first(), UploadService::kIdleExitStatus);
    EXPECT_GE(m_firstExitAfterMs, earliest(2));
}

TEST_F(JobQueueTest, AnActiveLoginWindowKeepsTheClientRunning)
{
    m_loginWindow->active = true;
    createQuickService();

    TestSupport::spin(5 * kInterval);
    EXPECT_TRUE(m_exitStatuses.isEmpty());

    // The timer goes on firing, so the next check after the window closed ends the client.
    m_loginWindow->active = false;
    EXPECT_TRUE(waitForExit());
}

TEST_F(JobQueueTest, ANewJobWithinTheIntervalAfterARemovalKeepsTheClientRunning)
{
    createQuickService();
    const auto first = makeJob();
    m_service->appendJob(first);
    m_service->removeJob(first);
    EXPECT_TRUE(m_service->isJobArrayEmpty());

    TestSupport::spin(kInterval / 3);
    const auto second = makeJob();
    m_service->appendJob(second);
    TestSupport::spin(4 * kInterval);
    EXPECT_TRUE(m_exitStatuses.isEmpty());
    EXPECT_EQ(m_showLoginPosts, 2);

    QElapsedTimer sinceRemoval;
    sinceRemoval.start();
    m_service->removeJob(second);
    ASSERT_TRUE(waitForExit());
    EXPECT_GE(sinceRemoval.elapsed(), earliest(1));
    EXPECT_EQ(m_exitStatuses, QList<int>{UploadService::kIdleExitStatus});
}

TEST_F(JobQueueTest, ASecondJobWaitsBehindTheFirstWithoutADecision)
{
    createQuickService();
    const auto first = makeJob();
    const auto second = makeJob();
    m_service->appendJob(first);
    m_service->appendJob(second);

    TestSupport::spin(2 * kInterval);
    EXPECT_EQ(m_showLoginPosts, 1);
    EXPECT_EQ(m_service->jobArray(), (UploadService::JobList{first, second}));
    EXPECT_EQ(m_service->headJob(), first);
    // The timer stopped with the first job, and no removal emptied the list.
    TestSupport::spin(4 * kInterval);
    EXPECT_TRUE(m_exitStatuses.isEmpty());
}

TEST_F(JobQueueTest, JobsAreRemovedByIdentityNotByContent)
{
    createQuickService();
    const auto job = makeJob("%PDF same");
    const auto twin = std::make_shared<PrnParameterModel>(*job);
    m_service->appendJob(job);
    m_service->appendJob(twin);

    m_service->removeJob(twin);

    EXPECT_EQ(m_service->jobArray(), UploadService::JobList{job});
}

TEST_F(JobQueueTest, NullJobsStopTheTimerAndLeaveTheListAlone)
{
    createQuickService();
    m_service->appendJob(nullptr);
    m_service->removeJob(nullptr);

    TestSupport::spin(5 * kInterval);
    EXPECT_TRUE(m_service->isJobArrayEmpty());
    EXPECT_TRUE(m_exitStatuses.isEmpty());
    EXPECT_EQ(m_showLoginPosts, 0);

    // Removing a job that is not queued still checks an empty list.
    m_service->removeJob(makeJob());
    EXPECT_TRUE(waitForExit());
}

TEST_F(JobQueueTest, HandleJobInfoMovesThePdfToANewName)
{
    createQuickService();
    const auto job = makeJob("%PDF moved");
    const QString oldPath = job->pdfPath;
    ASSERT_TRUE(QDir().mkpath(QDir(m_dir.path()).filePath("moved")));

    m_service->handleJobInfo(job);

    const QFileInfo moved(job->pdfPath);
    EXPECT_EQ(moved.absolutePath(), QDir(m_dir.path()).filePath("moved"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^(?:[A-Z0-9]{1,20}-){3}[A-Z0-9]{1,20}\\.pdf$"))
                    .match(moved.fileName())
                    .hasMatch())
        << moved.fileName().toStdString();
    EXPECT_EQ(TestSupport::readFile(job->pdfPath), QByteArray("%PDF moved"));
    EXPECT_FALSE(QFileInfo::exists(oldPath));
}

TEST_F(JobQueueTest, HandleJobInfoKeepsTheJobWhenTheMoveFails)
{
    createQuickService();
    const auto job = makeJob("%PDF kept");
    const QString oldPath = job->pdfPath;

    // The job folder does not exist.
    m_service->handleJobInfo(job);

    EXPECT_EQ(job->pdfPath, oldPath);
    EXPECT_EQ(TestSupport::readFile(oldPath), QByteArray("%PDF kept"));
}

} // namespace
