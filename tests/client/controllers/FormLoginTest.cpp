#include "LoginWindowFixture.h"

#include "support/TestSupport.h"

#include "client/categories/FlatButton.h"
#include "client/platform/Localizable.h"

#include <QCheckBox>
#include <QLineEdit>

#include <functional>

using namespace std::chrono_literals;

namespace {

constexpr auto kLoginCall = "userLogin";
constexpr auto kRegistrationCall = "addSubmitJobInfo";

class FormLoginTest : public LoginWindowFixture
{
protected:
    void fill(const QString &name, const QString &password, const QString &entKey)
    {
        controller().nameField()->setText(name);
        controller().passField()->setText(password);
        controller().entkeyField()->setText(entKey);
    }

    QStringList toastTexts()
    {
        QStringList texts;
        for (const ToastView *toast : controller().findChildren<ToastView *>())
            texts << toast->labelText();
        return texts;
    }

    QCheckBox *saveAccountBox()
    {
        return controller().findChild<QCheckBox *>(
            QString::fromLatin1(LoginForm::kSaveAccountBoxName));
    }
};

struct EmptyFieldCase
{
    const char *name;
    const char *password;
    const char *entKey;
    const char *toastKey;
};

class EmptyFieldTest : public FormLoginTest, public ::testing::WithParamInterface<EmptyFieldCase>
{};

TEST_P(EmptyFieldTest, FirstEmptyFieldIsToldAndNothingHappens)
{
    const EmptyFieldCase &field = GetParam();
    m_settings->saveUserName(QStringLiteral("before"));
    configure();
    openWindow();
    fill(QString::fromLatin1(field.name), QString::fromLatin1(field.password),
         QString::fromLatin1(field.entKey));

    controller().btnOK()->click();
    EXPECT_EQ(toastTexts(), QStringList{Localizable::string(field.toastKey)});
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(window().isActive());
    EXPECT_EQ(m_settings->userName(), QStringLiteral("before")) << "nothing saved";
    TestSupport::spin(200ms);
    EXPECT_TRUE(requests(kLoginCall).isEmpty());
    EXPECT_TRUE(notificationTexts().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, EmptyFieldTest,
    ::testing::Values(EmptyFieldCase{"", "", "", "Please enter your user name"},
                      EmptyFieldCase{"alice", "", "", "Please enter your password"},
                      EmptyFieldCase{"", "pw", "ACME", "Please enter your user name"},
                      EmptyFieldCase{"alice", "pw", "", "Please enter your company Key"}));

TEST_F(FormLoginTest, BlanksCountAsFilledIn)
{
    configure();
    openWindow();
    fill(QStringLiteral("   "), QStringLiteral(" "), QStringLiteral(" "));
    EXPECT_TRUE(controller().checkFieldTextSafed(
        {controller().nameField(), controller().passField(), controller().entkeyField()}));
    EXPECT_TRUE(toastTexts().isEmpty());
}

TEST_F(FormLoginTest, LoginWithoutAJobSavesTheAccountAndLogsInOnly)
{
    m_settings->saveIsScanQrcode(true);
    configure();
    openWindow();
    fill(QString::fromLatin1(kUser), QString::fromLatin1(kPassword), QString::fromLatin1(kEntKey));

    controller().btnOK()->click();
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(window().isActive());
    EXPECT_EQ(m_settings->userName(), QString::fromLatin1(kUser));
    EXPECT_EQ(m_settings->userPassword(), QString::fromLatin1(kPassword))
        << "kept whether or not \"Save account\" is on";
    EXPECT_EQ(m_settings->entKey(), QString::fromLatin1(kEntKey));
    EXPECT_FALSE(m_settings->isScanQrcode());

    ASSERT_TRUE(waitForNotification(Localizable::string("Login successful")))
        << notificationTexts().join(" | ").toStdString();
    EXPECT_EQ(notificationTexts().first(), Localizable::string("Logining ..."));
    EXPECT_EQ(m_delivered->deliveries().first().title, Localizable::string("Tarvello"));
    EXPECT_TRUE(m_delivered->deliveries().first().subtitle.isNull());
    const QJsonObject login = lastMembers(kLoginCall);
    EXPECT_EQ(login.value("userName").toString(), QString::fromLatin1(kUser));
    EXPECT_EQ(login.value("userPwd").toString(), QString::fromLatin1(kPassword));
    EXPECT_EQ(login.value("entkey").toString(), QString::fromLatin1(kEntKey));
    EXPECT_TRUE(m_service->isLogin()) << "the queue was given no job";
    EXPECT_TRUE(requests(kRegistrationCall).isEmpty());
}

TEST_F(FormLoginTest, LoginWithAWaitingJobUploadsThatJob)
{
    configure();
    openWindow();
    const UploadService::Job job = appendJob();
    TestSupport::spin(50ms);
    EXPECT_TRUE(requests(kLoginCall).isEmpty()) << "the job waits for the user at the window";
    fill(QString::fromLatin1(kUser), QString::fromLatin1(kPassword), QString::fromLatin1(kEntKey));

    controller().btnOK()->click();
    ASSERT_TRUE(waitForNotification(Localizable::string("Upload succesd")))
        << notificationTexts().join(" | ").toStdString();
    EXPECT_EQ(requests(kRegistrationCall).size(), 1);
    EXPECT_EQ(lastMembers(kRegistrationCall).value("docName").toString(), job->fileName);
    EXPECT_TRUE(m_service->isJobArrayEmpty());
    EXPECT_FALSE(m_service->isLogin());
}

TEST_F(FormLoginTest, PresetCompanyKeyPassesHiddenAndIsSaved)
{
    m_settings->saveEntKey(QStringLiteral("OLD"));
    configure({.entKey = QString::fromLatin1(kEntKey)});
    openWindow();
    controller().nameField()->setText(QString::fromLatin1(kUser));
    controller().passField()->setText(QString::fromLatin1(kPassword));

    controller().btnOK()->click();
    EXPECT_TRUE(toastTexts().isEmpty());
    EXPECT_EQ(m_settings->entKey(), QString::fromLatin1(kEntKey));
    ASSERT_TRUE(waitForNotification(Localizable::string("Login successful")));
    EXPECT_EQ(lastMembers(kLoginCall).value("entkey").toString(), QString::fromLatin1(kEntKey));
}

TEST_F(FormLoginTest, ABlankUserNameIsSavedAsTyped)
{
    configure();
    openWindow();
    fill(QStringLiteral("  "), QString::fromLatin1(kPassword), QString::fromLatin1(kEntKey));
    controller().btnOK()->click();
    EXPECT_EQ(m_settings->userName(), QStringLiteral("  "));
    // The service refuses it, and the window is asked for again.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return m_showLoginPosts > 0; }, 30s));
    EXPECT_EQ(lastMembers(kLoginCall).value("userName").toString(), QStringLiteral("  "));
}

TEST_F(FormLoginTest, CheckBoxSavesItsStateAtEachClick)
{
    configure();
    openWindow();
    QCheckBox *box = saveAccountBox();
    ASSERT_FALSE(box->isChecked());
    box->click();
    EXPECT_TRUE(m_settings->isSaveAccount());
    EXPECT_TRUE(controller().isSaveAccount());
    box->click();
    EXPECT_FALSE(m_settings->isSaveAccount());
    EXPECT_TRUE(window().isVisible()) << "no login follows";
}

// The close button and the close action of a control close the window alike.
struct ClosingWay
{
    const char *name;
    std::function<void(LoginWindow &)> close;
};

void PrintTo(const ClosingWay &c, std::ostream *os)
{
    *os << c.name;
}

class ClosingTest : public FormLoginTest, public ::testing::WithParamInterface<ClosingWay>
{};

TEST_P(ClosingTest, GivesUpOnlyTheHeadJob)
{
    configure();
    openWindow();
    appendJob();
    const UploadService::Job second = appendJob();

    GetParam().close(window());
    EXPECT_EQ(m_service->jobArray(), UploadService::JobList{second});
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(window().isActive());
}

TEST_P(ClosingTest, WithNoJobLeavesTheQueueAlone)
{
    configure();
    openWindow();
    GetParam().close(window());
    EXPECT_TRUE(m_service->isJobArrayEmpty());
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(window().isActive());
}

INSTANTIATE_TEST_SUITE_P(Ways, ClosingTest,
                         ::testing::Values(ClosingWay{"CloseButton",
                                                      [](LoginWindow &window) { window.close(); }},
                                           ClosingWay{"CloseAction",
                                                      [](LoginWindow &window) {
                                                          QObject sender;
                                                          window.close(&sender);
                                                      }}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(FormLoginTest, CancelHidesTheWindowAndTheJobWaits)
{
    configure();
    openWindow();
    const UploadService::Job job = appendJob();
    controller().handleCancel();
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(window().isActive());
    EXPECT_EQ(m_service->headJob(), job);
}

} // namespace
