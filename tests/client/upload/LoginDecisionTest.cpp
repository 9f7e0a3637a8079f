#include "UploadFixture.h"

#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

// What the first job of an empty list leads to.
enum class Decision {
    WaitForWindow,     // nothing at all
    UploadWithSaved,   // an upload chain with the saved identity, no login
    LogIn,             // a login with the saved account, then the upload
    AskForLoginWindow, // "kNotificationShowLoginWindow" and nothing else
};

struct DecisionCase
{
    const char *name;
    bool windowActive = false;
    bool scanQrcode = false;
    bool savedIds = false; // the QR identity of alice saved, else empty ids
    QString userName = QString();
    QString password = QString();
    QString savedEntKey = QString();
    QString iniEntKey = QString(); // null: no EntKey line
    bool saveAccount = false;
    bool loggedInBefore = false; // a login without a job ran first
    Decision decision = Decision::WaitForWindow;
    QString usedEntKey = QString(); // the company key of the chain's first request
};

void PrintTo(const DecisionCase &decisionCase, std::ostream *out)
{
    *out << decisionCase.name;
}

const QString kAlice = QStringLiteral("alice");
const QString kAlicePassword = QStringLiteral("alice-pass");
const QString kAcme = QStringLiteral("ACME");
const QString kOther = QStringLiteral("OTHER");

const DecisionCase kCases[] = {
    {.name = "windowActiveWaitsForTheUser",
     .windowActive = true,
     .userName = kAlice,
     .password = kAlicePassword,
     .savedEntKey = kAcme,
     .saveAccount = true,
     .decision = Decision::WaitForWindow},
    {.name = "qrScanWithEmptySavedIdsUploadsAsTheyAre",
     .scanQrcode = true,
     .userName = kAlice,
     .password = kAlicePassword,
     .saveAccount = true,
     .decision = Decision::UploadWithSaved,
     .usedEntKey = QStringLiteral("")},
    {.name = "qrScanWithSavedIdsUploadsWithoutLogin",
     .scanQrcode = true,
     .savedIds = true,
     .savedEntKey = kAcme,
     .decision = Decision::UploadWithSaved,
     .usedEntKey = kAcme},
    {.name = "savedAccountWithSaveOnLogsIn",
     .userName = kAlice,
     .password = kAlicePassword,
     .savedEntKey = kAcme,
     .saveAccount = true,
     .decision = Decision::LogIn,
     .usedEntKey = kAcme},
    {.name = "savedAccountWithSaveOffAsksForTheWindow",
     .userName = kAlice,
     .password = kAlicePassword,
     .savedEntKey = kAcme,
     .decision = Decision::AskForLoginWindow},
    {.name = "savedAccountAfterALoginWithoutJobLogsIn",
     .userName = kAlice,
     .password = kAlicePassword,
     .savedEntKey = kAcme,
     .loggedInBefore = true,
     .decision = Decision::LogIn,
     .usedEntKey = kAcme},
    {.name = "iniCompanyKeyWinsOverTheSavedKey",
     .userName = kAlice,
     .password = kAlicePassword,
     .savedEntKey = kOther,
     .iniEntKey = kAcme,
     .saveAccount = true,
     .decision = Decision::LogIn,
     .usedEntKey = kAcme},
    {.name = "emptyIniKeyFallsBackToTheSavedKey",
     .userName = kAlice,
     .password = kAlicePassword,
     .savedEntKey = kAcme,
     .iniEntKey = QStringLiteral(""),
     .saveAccount = true,
     .decision = Decision::LogIn,
     .usedEntKey = kAcme},
    {.name = "missingPasswordAsksForTheWindow",
     .userName = kAlice,
     .savedEntKey = kAcme,
     .saveAccount = true,
     .decision = Decision::AskForLoginWindow},
    {.name = "missingUserNameAsksForTheWindow",
     .password = kAlicePassword,
     .savedEntKey = kAcme,
     .saveAccount = true,
     .decision = Decision::AskForLoginWindow},
    {.name = "missingCompanyKeyAsksForTheWindow",
     .userName = kAlice,
     .password = kAlicePassword,
     .saveAccount = true,
     .decision = Decision::AskForLoginWindow},
};

class LoginDecisionTest : public UploadFixture, public ::testing::WithParamInterface<DecisionCase>
{};

TEST_P(LoginDecisionTest, FirstJobOfAnEmptyList)
{
    const DecisionCase &row = GetParam();
    const auto orEmpty = [](const QString &text) {
        return text.isNull() ? QStringLiteral("") : text;
    };
    m_settings->saveUserName(orEmpty(row.userName));
    m_settings->saveUserPassword(orEmpty(row.password));
    m_settings->saveEntKey(orEmpty(row.savedEntKey));
    m_settings->saveIsSeveAccount(row.saveAccount);
    m_settings->saveIsScanQrcode(row.scanQrcode);
    if (row.savedIds) {
        m_settings->saveUserid(savedIdentity().userId);
        m_settings->saveEntid(savedIdentity().entId);
    }
    createService(row.iniEntKey);
    if (row.loggedInBefore) {
        m_service->login(kAlice, kAlicePassword, kAcme, nullptr);
        ASSERT_TRUE(waitForNotifications(1));
        ASSERT_TRUE(m_service->isLogin());
        sim().context().requests.clear();
    }
    m_loginWindow->active = row.windowActive;
    const auto job = makeJob();

    m_service->appendJob(job);

    switch (row.decision) {
    case Decision::WaitForWindow:
        TestSupport::spin(500ms);
        EXPECT_EQ(requests().size(), 0);
        EXPECT_EQ(m_showLoginPosts, 0);
        EXPECT_EQ(m_service->headJob(), job);
        return;
    case Decision::AskForLoginWindow:
        EXPECT_TRUE(TestSupport::waitUntil([&] { return m_showLoginPosts > 0; }, 5s));
        TestSupport::spin(300ms);
        EXPECT_EQ(m_showLoginPosts, 1);
        EXPECT_EQ(requests().size(), 0);
        EXPECT_EQ(m_service->headJob(), job);
        return;
    case Decision::UploadWithSaved:
    case Decision::LogIn:
        break;
    }
    // The chain ends with an upload or with a request for the login window.
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return m_service->isJobArrayEmpty() || m_showLoginPosts > 0; }, 30s));
    settledNotifications(2);
    const QJsonArray sent = requests();
    ASSERT_FALSE(sent.isEmpty());
    const QJsonObject first = sent.first().toObject();
    EXPECT_EQ(first.value("funType").toString(), "getKeys");
    EXPECT_EQ(first.value("members").toObject().value("entkey").toString(), row.usedEntKey);

    if (row.decision == Decision::LogIn) {
        const QJsonObject login = lastMembers("userLogin");
        EXPECT_EQ(login.value("userName").toString(), kAlice);
        EXPECT_EQ(login.value("entkey").toString(), row.usedEntKey);
        EXPECT_TRUE(m_service->isJobArrayEmpty());
        return;
    }
    EXPECT_EQ(requests("userLogin").size(), 0);
    if (row.savedIds) {
        EXPECT_TRUE(m_service->isJobArrayEmpty());
        EXPECT_EQ(lastMembers("addSubmitJobInfo").value("user_id").toString(),
                  savedIdentity().userId);
    } else {
        // The service refuses the empty company key; the job waits for the window.
        EXPECT_EQ(m_showLoginPosts, 1);
        EXPECT_EQ(m_service->headJob(), job);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, LoginDecisionTest, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
