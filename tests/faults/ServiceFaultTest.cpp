// The printing service failing under a running job queue: a connection closed halfway through the
// reply, an answer that comes after the request's time limit, an HTML error page with status 500.
// Whatever call fails, the job stays at the head of the list with its attempts unchanged, the
// user is told of a failure (never of a success), the login window is asked for, the log names
// the failure, and the queue goes on: a new login by the user uploads the kept job.

#include "ChainFaultFixture.h"

#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

// A short time limit stands in for the 15 s one; the late answer comes well after it.
constexpr std::chrono::milliseconds kShortTimeout = 1000ms;
constexpr int kLateAnswerMs = 3000;

enum class ServiceFault { ClosedMidReply, Html500, LateAnswer };

struct ServiceFaultCase
{
    const char *name;
    const char *funType;
    ServiceFault fault;
    // Notifications until the outcome: the login's alone, or "Uploading ..." and the upload's.
    int notifications;
    // What the log line of the failure says.
    const char *logged;
};

class ServiceFaultTest : public ChainFaultFixture,
                         public ::testing::WithParamInterface<ServiceFaultCase>
{
protected:
    void startWithFault(const ServiceFaultCase &c)
    {
        start(QStringLiteral("none"),
              c.fault == ServiceFault::LateAnswer ? kShortTimeout : kTransportTimeout);
        const QString funType = QLatin1String(c.funType);
        switch (c.fault) {
        case ServiceFault::ClosedMidReply:
            m_proxy.setFault(funType, FaultyHttpProxy::Fault::CloseMidReply, 1);
            break;
        case ServiceFault::Html500:
            m_proxy.setFault(funType, FaultyHttpProxy::Fault::Html500, 1);
            break;
        case ServiceFault::LateAnswer: {
            FaultRule late;
            late.funType = funType;
            late.delayMs = kLateAnswerMs;
            late.times = 1;
            setFaults({late});
            break;
        }
        }
    }
};

TEST_P(ServiceFaultTest, JobIsKeptAndTheFailureShownAndLogged)
{
    const ServiceFaultCase &c = GetParam();
    ASSERT_NO_FATAL_FAILURE(startWithFault(c));

    const UploadService::Job job = appendJob();
    const QStringList shown = settledNotifications(c.notifications);

    ASSERT_EQ(shown.size(), c.notifications) << shown.join(" | ").toStdString();
    EXPECT_FALSE(shown.contains(uploadSucceededText())) << shown.join(" | ").toStdString();
    EXPECT_FALSE(shown.contains(loginSucceededText()));
    EXPECT_FALSE(shown.last().isEmpty());
    ASSERT_EQ(m_service->jobArray().size(), 1);
    EXPECT_EQ(m_service->headJob(), job);
    EXPECT_EQ(job->attempts, 0);
    EXPECT_GE(m_showLoginPosts, 1);
    EXPECT_TRUE(m_exitStatuses.isEmpty());
    EXPECT_GE(m_log.count(QStringLiteral("!!error: ")), 1)
        << m_log.lines().join('\n').toStdString();
    EXPECT_GE(m_log.count(QLatin1String(c.logged)), 1) << m_log.lines().join('\n').toStdString();

    // The queue goes on: the user's next login uploads the kept job.
    loginAgain();
    const QStringList after = settledNotifications(c.notifications + 2);
    EXPECT_EQ(after.value(c.notifications + 1), uploadSucceededText())
        << after.join(" | ").toStdString();
    EXPECT_TRUE(m_service->isJobArrayEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Calls, ServiceFaultTest,
    ::testing::Values(ServiceFaultCase{"KeysClosedMidReply", "getKeys",
                                       ServiceFault::ClosedMidReply, 1, "Code=-2"},
                      ServiceFaultCase{"LoginAsHtml500", "userLogin", ServiceFault::Html500, 1,
                                       "(500)"},
                      ServiceFaultCase{"RegistrationClosedMidReply", "addSubmitJobInfo",
                                       ServiceFault::ClosedMidReply, 2, "Code=-2"},
                      ServiceFaultCase{"RegistrationAnsweredLate", "addSubmitJobInfo",
                                       ServiceFault::LateAnswer, 2, "The request timed out."},
                      ServiceFaultCase{"ReportAfterGoodUploadAsHtml500", "fileFtpUploadInfo",
                                       ServiceFault::Html500, 2, "(500)"},
                      ServiceFaultCase{"ReportAfterGoodUploadAnsweredLate", "fileFtpUploadInfo",
                                       ServiceFault::LateAnswer, 2, "The request timed out."}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
