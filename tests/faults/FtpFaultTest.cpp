// FTP servers failing under a running job queue: the login refused, the data connection dropped
// halfway through the upload, the storage full at the start of the upload (452) or during it
// (552). The upload is tried on the job's target and on the public target, the failure is
// reported to the service as such, the job stays with one more attempt, the user is told the
// upload failed, the log says so, and after more than three failed attempts the job is dropped.

#include "ChainFaultFixture.h"

namespace {

struct FtpFaultCase
{
    const char *name;
    const char *fault;
    // The command the server fails, which each try must have reached.
    const char *lastCommand;
};

class FtpFaultTest : public ChainFaultFixture, public ::testing::WithParamInterface<FtpFaultCase>
{
protected:
    // "Uploading ..." and the outcome, for each round.
    static constexpr int kNotificationsPerRound = 2;
    static constexpr auto kFailedState = "0";
};

TEST_P(FtpFaultTest, FailedUploadIsReportedCountedAndShown)
{
    const FtpFaultCase &c = GetParam();
    ASSERT_NO_FATAL_FAILURE(start(QLatin1String(c.fault)));

    const UploadService::Job job = appendJob();
    const QStringList shown = settledNotifications(kNotificationsPerRound);

    ASSERT_EQ(shown.size(), kNotificationsPerRound) << shown.join(" | ").toStdString();
    EXPECT_EQ(shown.last(), uploadFailedText());
    // Both targets were tried: the job's own and then the public one.
    EXPECT_EQ(lastMembers(QStringLiteral("getFtpInfo")).value("isSystem").toString(), "1");
    EXPECT_GE(m_ftp->commands(QLatin1String(c.lastCommand)).size(), 2)
        << m_ftp->commands().join('\n').toStdString();
    const QJsonObject report = lastMembers(QStringLiteral("fileFtpUploadInfo"));
    EXPECT_EQ(report.value("state").toString(), QLatin1String(kFailedState));
    ASSERT_EQ(m_service->jobArray().size(), 1);
    EXPECT_EQ(m_service->headJob(), job);
    EXPECT_EQ(job->attempts, 1);
    EXPECT_GE(m_showLoginPosts, 1);
    EXPECT_TRUE(m_exitStatuses.isEmpty());
    EXPECT_GE(m_log.count(QStringLiteral("file upload failed")), 1)
        << m_log.lines().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpFaultTest,
                         ::testing::Values(FtpFaultCase{"LoginRefused", "refuse-login", "PASS"},
                                           FtpFaultCase{"DataConnectionDropped", "drop-data",
                                                        "STOR"},
                                           FtpFaultCase{"FullAtStore", "full-at-store", "STOR"},
                                           FtpFaultCase{"FullDuringUpload", "full-during", "STOR"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(FtpFaultTest, JobIsDroppedAfterTheFourthFailedAttempt)
{
    ASSERT_NO_FATAL_FAILURE(start(QStringLiteral("drop-data")));
    const UploadService::Job job = appendJob();
    for (int round = 1; round <= UploadService::kMaxAttempts + 1; ++round) {
        if (round > 1)
            loginAgain();
        const QStringList shown = settledNotifications(round * kNotificationsPerRound);
        ASSERT_EQ(shown.size(), round * kNotificationsPerRound) << "round " << round;
        EXPECT_EQ(shown.last(), uploadFailedText()) << "round " << round;
        EXPECT_EQ(job->attempts, round);
        EXPECT_EQ(m_service->isJobArrayEmpty(), round > UploadService::kMaxAttempts)
            << "round " << round;
    }
    EXPECT_EQ(m_log.count(QStringLiteral("file upload failed")), UploadService::kMaxAttempts + 1);
}

} // namespace
