#include "HttpFetch.h"
#include "LoginWindowFixture.h"

#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include "client/categories/BundleImage.h"
#include "client/categories/ImageTransform.h"
#include "client/categories/TagButton.h"
#include "client/controllers/QRCodeVC.h"
#include "client/platform/Localizable.h"

#include "AccountStore.h"
#include "HttpEndpoint.h"
#include "push/PushServer.h"
#include "push/QrLoginPage.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QLineEdit>
#include <QUrlQuery>

#include <qrcodegen.hpp>

using namespace std::chrono_literals;

namespace {

constexpr auto kRegistrationCall = "addSubmitJobInfo";
constexpr auto kDate = "20240506091011";

QString md5Upper(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

QImage normalized(const QIcon &icon, QSize size)
{
    return icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TEST(QRCodeVCTest, UrlCarriesAddressKeyDateAndCodeInOrder)
{
    const QString code = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");
    QRCodeVC view(QStringLiteral("print.example.test"), code, [] { return QString(kDate); });
    const QString key = md5Upper(QStringLiteral("~#!$$!#~") + QLatin1String(kDate));
    EXPECT_EQ(QRCodeVC::requestKey(QString::fromLatin1(kDate)), key);
    EXPECT_EQ(view.qrLoginUrl(),
              QStringLiteral("http://print.example.test/ferrolux/mobile/index.php?act=index&op="
                             "scanlogin&DalvemorKeys=%1&date=20240506091011&type=1&code=%2")
                  .arg(key, code));
    EXPECT_EQ(view.qrCodeIndentify(), code);
}

TEST(QRCodeVCTest, ValuesGoInAsTheyStand)
{
    EXPECT_EQ(QRCodeVC::loginUrl(QStringLiteral("h%2st"), QStringLiteral("K"),
                                 QStringLiteral("D&x"), QStringLiteral("C C")),
              QStringLiteral("http://h%2st/ferrolux/mobile/index.php?act=index&op=scanlogin&"
                             "DalvemorKeys=K&date=D&x&type=1&code=C C"));
}

TEST(QRCodeVCTest, ImageIsTheUrlsCodeInSharpBlackAndWhiteBlocks)
{
    QRCodeVC view(QStringLiteral("127.0.0.1"), QStringLiteral("ABCDEF"),
                  [] { return QString(kDate); });
    const QImage image = view.qrCodeImage();
    ASSERT_EQ(image.size(), QSize(140, 140));
    EXPECT_EQ(view.size(), QSize(140, 140));

    const QByteArray bytes = view.qrLoginUrl().toUtf8();
    const auto code = qrcodegen::QrCode::encodeBinary(
        std::vector<std::uint8_t>(bytes.begin(), bytes.end()), qrcodegen::QrCode::Ecc::MEDIUM);
    const int modules = code.getSize() + 2 * QRCodeVC::kQuietZoneModules;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int gray = qGray(image.pixel(x, y));
            ASSERT_TRUE(gray == 0 || gray == 255) << "blended pixel at " << x << "," << y;
            const bool dark = code.getModule(x * modules / 140 - QRCodeVC::kQuietZoneModules,
                                             y * modules / 140 - QRCodeVC::kQuietZoneModules);
            ASSERT_EQ(gray == 0, dark) << "wrong module at " << x << "," << y;
        }
    }
}

TEST(QRCodeVCTest, EachViewTakesTheTimeAnewAndKeepsTheChannelCode)
{
    const QString code = QStringLiteral("C0DE");
    QRCodeVC first(QStringLiteral("127.0.0.1"), code,
                   [] { return QStringLiteral("20240506091011"); });
    QRCodeVC second(QStringLiteral("127.0.0.1"), code,
                    [] { return QStringLiteral("20240506091012"); });
    EXPECT_NE(first.qrLoginUrl(), second.qrLoginUrl());
    EXPECT_TRUE(
        second.qrLoginUrl().contains(QRCodeVC::requestKey(QStringLiteral("20240506091012"))));
    EXPECT_TRUE(first.qrLoginUrl().endsWith(QStringLiteral("&code=C0DE")));
    EXPECT_TRUE(second.qrLoginUrl().endsWith(QStringLiteral("&code=C0DE")));
    EXPECT_NE(first.qrCodeImage(), second.qrCodeImage());
}

TEST(QRCodeVCTest, ResizeCropsAroundTheCentreToTheTargetShape)
{
    // Three upright thirds: red, green, blue; a square target keeps the green middle.
    QImage source(300, 100, QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::green);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            source.setPixel(x, y, qRgb(255, 0, 0));
            source.setPixel(x + 200, y, qRgb(0, 0, 255));
        }
    }
    const QImage square = QRCodeVC::resizeImage(source, QSize(50, 50));
    ASSERT_EQ(square.size(), QSize(50, 50));
    for (const QPoint at : {QPoint(2, 25), QPoint(25, 25), QPoint(47, 25)})
        EXPECT_EQ(square.pixel(at), qRgb(0, 255, 0)) << at.x();

    const QImage wide = QRCodeVC::resizeImage(source, QSize(600, 100));
    EXPECT_EQ(wide.size(), QSize(600, 100));
    EXPECT_EQ(wide.pixel(10, 50), qRgb(255, 0, 0)) << "nothing to crop: the whole source";

    EXPECT_TRUE(QRCodeVC::resizeImage(QImage(), QSize(10, 10)).isNull());
    EXPECT_TRUE(QRCodeVC::resizeImage(source, QSize(0, 10)).isNull());
}

class QrLoginTest : public LoginWindowFixture
{
protected:
    void toggle() { controller().showOrHideSubWindow(controller().showSubViewBtn()); }

    QRCodeVC *qrView() const
    {
        QWidget *subWindow = m_window->contentViewController()->subWindow();
        return subWindow ? subWindow->findChild<QRCodeVC *>() : nullptr;
    }

    NetPackModel packet(quint32 mainCmd, const QString &content) const
    {
        NetPackModel model;
        model.mainCmd = mainCmd;
        model.content = content;
        return model;
    }

    // The push server's text for the account's QR login: the channel code, ";" and the record.
    QString loginResult(const QJsonObject &record) const
    {
        return m_pushChannel->qrCodeIndentify() + QLatin1Char(';') +
               QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact));
    }

    const SimAccount &alice() const
    {
        return *sim().context().accounts.find(QString::fromLatin1(kEntKey),
                                              QString::fromLatin1(kUser));
    }

    void saveEarlierFormLogin()
    {
        m_settings->saveUserName(QStringLiteral("bob"));
        m_settings->saveUserPassword(QStringLiteral("bob-pass"));
        m_settings->saveEntKey(QStringLiteral("EARLIER"));
        m_settings->saveIsSeveAccount(true);
        m_settings->saveIsScanQrcode(false);
    }

    void expectEarlierFormLoginKept()
    {
        EXPECT_EQ(m_settings->userName(), QStringLiteral("bob"));
        EXPECT_EQ(m_settings->userPassword(), QStringLiteral("bob-pass"));
        EXPECT_EQ(m_settings->entKey(), QStringLiteral("EARLIER"));
        EXPECT_TRUE(m_settings->isSaveAccount());
        EXPECT_FALSE(m_settings->isScanQrcode());
    }
};

TEST_F(QrLoginTest, SubWindowOpensBesideTheWindowAndTheArrowTurns)
{
    configure();
    openWindow();
    window().move(200, 300);
    const QImage arrow = BundleImage::named(QStringLiteral("icon_right"));
    ASSERT_FALSE(arrow.isNull());
    TagButton *button = controller().showSubViewBtn();
    EXPECT_EQ(normalized(button->icon(), arrow.size()),
              arrow.convertToFormat(QImage::Format_ARGB32_Premultiplied));

    toggle();
    QWidget *subWindow = controller().subWindow();
    ASSERT_NE(subWindow, nullptr);
    EXPECT_TRUE(subWindow->isVisible());
    EXPECT_TRUE(subWindow->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(window().childWindows(), QList<QWidget *>{subWindow});
    const QRect login = window().frameGeometry();
    const QRect sub = subWindow->frameGeometry();
    EXPECT_EQ(sub.size(), QRCodeVC::kViewSize);
    EXPECT_EQ(sub.x(), login.x() + login.width() - 3) << "3 points over the right edge";
    EXPECT_EQ(sub.y() + sub.height(), login.y() + login.height() - 95)
        << "lower edge 95 points above the window's";
    ASSERT_NE(qrView(), nullptr);
    EXPECT_TRUE(qrView()->qrLoginUrl().endsWith(m_pushChannel->qrCodeIndentify()));
    EXPECT_EQ(button->tag(), LoginForm::kSubWindowShown);
    EXPECT_EQ(normalized(button->icon(), arrow.size()),
              ImageTransform::transformMirrorWithRotateDeg(arrow, 0));

    window().move(260, 310);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return subWindow->x() == sub.x() + 60; }, 2s))
        << "moves with the window";
    EXPECT_EQ(subWindow->y(), sub.y() + 10);

    toggle();
    EXPECT_EQ(controller().subWindow(), subWindow) << "kept once hidden";
    EXPECT_FALSE(subWindow->isVisible());
    EXPECT_TRUE(subWindow->geometry().isEmpty());
    EXPECT_TRUE(window().childWindows().isEmpty());
    EXPECT_EQ(button->tag(), LoginForm::kSubWindowHidden);
    EXPECT_EQ(normalized(button->icon(), arrow.size()),
              ImageTransform::transformMirrorWithRotateDeg(arrow, 180));
}

TEST_F(QrLoginTest, EachShowMakesANewCode)
{
    configure();
    openWindow();
    toggle();
    const QPointer<QRCodeVC> first = qrView();
    toggle();
    toggle();
    ASSERT_NE(qrView(), nullptr);
    EXPECT_NE(qrView(), first.data());
    EXPECT_TRUE(first.isNull()) << "the earlier sub-window is replaced";
    EXPECT_TRUE(controller().subWindow()->isVisible());
}

TEST_F(QrLoginTest, UrlUsesTheServiceAddressOnlyWhateverPortAndHttps)
{
    configure();
    openWindow();
    toggle();
    ASSERT_NE(qrView(), nullptr);
    EXPECT_TRUE(qrView()->qrLoginUrl().startsWith(
        QStringLiteral("http://127.0.0.1/ferrolux/mobile/index.php?act=index&op=scanlogin&")))
        << qrView()->qrLoginUrl().toStdString();
}

TEST_F(QrLoginTest, ResultWithNoJobOnlyTellsTheUserAndSavesNothing)
{
    saveEarlierFormLogin();
    configure();
    openWindow();
    controller().didReceiveWithModel(packet(NetPackModel::kMainCmdQrLoginResult,
                                            loginResult(QrLoginPage::loginRecord(alice()))));

    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(window().isActive());
    EXPECT_EQ(notificationTexts(), QStringList{Localizable::string("Login successful")});
    expectEarlierFormLoginKept();
    EXPECT_EQ(controller().nameField()->text(), QStringLiteral("bob"));
}

TEST_F(QrLoginTest, ResultWithAWaitingJobSavesTheIdentityAndUploadsTheJob)
{
    saveEarlierFormLogin();
    configure();
    openWindow();
    const UploadService::Job job = appendJob();
    controller().didReceiveWithModel(packet(NetPackModel::kMainCmdQrLoginResult,
                                            loginResult(QrLoginPage::loginRecord(alice()))));

    EXPECT_FALSE(window().isActive());
    EXPECT_EQ(m_settings->userName(), alice().userName);
    EXPECT_EQ(m_settings->userid(), alice().userId);
    EXPECT_EQ(m_settings->entKey(), alice().entkey);
    EXPECT_EQ(m_settings->entid(), alice().entId);
    EXPECT_TRUE(m_settings->isScanQrcode());
    EXPECT_FALSE(m_settings->isSaveAccount());
    EXPECT_EQ(m_settings->userPassword(), QString());
    EXPECT_EQ(controller().nameField()->text(), alice().userName);

    ASSERT_TRUE(waitForNotification(Localizable::string("Upload succesd")))
        << notificationTexts().join(" | ").toStdString();
    EXPECT_EQ(lastMembers(kRegistrationCall).value("user_id").toString(), alice().userId);
    EXPECT_TRUE(requests(QStringLiteral("userLogin")).isEmpty()) << "no form login";
    EXPECT_TRUE(m_service->isJobArrayEmpty());
}

// A pushed result that cannot be used leaves everything as it was: the window stays on screen and
// active (so the user can still log in, and the job waits for that), nothing is saved, uploaded
// or notified, and the log says why.
enum class Channel { Ours, Another, None };

struct UnusableResult
{
    const char *name;
    // What stands before the record: this client's channel code and ";", another client's, or
    // nothing.
    Channel channel;
    const char *record;
    bool jobWaiting;
};

void PrintTo(const UnusableResult &c, std::ostream *os)
{
    *os << c.name;
}

constexpr auto kAliceRecord = R"({"code":"alice","userId":"1001","entkey":"ACME","entId":"501"})";

class UnusableResultTest : public QrLoginTest, public ::testing::WithParamInterface<UnusableResult>
{};

TEST_P(UnusableResultTest, LeavesTheWindowShownAndTheJobWaiting)
{
    const UnusableResult &c = GetParam();
    saveEarlierFormLogin();
    configure();
    openWindow();
    const UploadService::Job job = c.jobWaiting ? appendJob() : nullptr;
    const QString prefix = c.channel == Channel::Ours      ? m_pushChannel->qrCodeIndentify() + u';'
                           : c.channel == Channel::Another ? QStringLiteral("OTHERCODE;")
                                                           : QString();
    LogCapture log;
    controller().didReceiveWithModel(
        packet(NetPackModel::kMainCmdQrLoginResult, prefix + QString::fromUtf8(c.record)));

    EXPECT_EQ(log.count(QStringLiteral("!!QR login result")), 1)
        << log.lines().join("\n").toStdString();
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(window().isActive());
    expectEarlierFormLoginKept();
    EXPECT_EQ(controller().nameField()->text(), QStringLiteral("bob"));
    EXPECT_EQ(m_service->headJob(), job);
    TestSupport::spin(300ms);
    EXPECT_TRUE(requests(kRegistrationCall).isEmpty());
    EXPECT_TRUE(notificationTexts().isEmpty()) << notificationTexts().join(" | ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, UnusableResultTest,
    ::testing::Values(
        UnusableResult{"NotJson", Channel::Ours, "not json", true},
        UnusableResult{"Array", Channel::Ours, "[1,2]", true},
        UnusableResult{"NothingAfterTheCode", Channel::Ours, "", true},
        UnusableResult{"NoCode", Channel::Ours, R"({"entkey":"ACME"})", true},
        UnusableResult{"NoEntkey", Channel::Ours, R"({"code":"alice","userId":"7"})", true},
        UnusableResult{"AnotherChannel", Channel::Another, kAliceRecord, true},
        UnusableResult{"NoChannel", Channel::None, kAliceRecord, true},
        UnusableResult{"NotJsonWithNoJobWaiting", Channel::Ours, "not json", false},
        UnusableResult{"AnotherChannelWithNoJobWaiting", Channel::Another, kAliceRecord, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(QrLoginTest, NoBodyIsLoggedOnly)
{
    configure();
    openWindow();
    LogCapture log;
    controller().didReceiveWithModel(packet(NetPackModel::kMainCmdQrLoginResult, QString()));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("QrcodeReceive context == nil")))
        << log.lines().join("\n").toStdString();
    EXPECT_TRUE(window().isActive());
    EXPECT_TRUE(notificationTexts().isEmpty());
}

TEST_F(QrLoginTest, OtherCommandsAreIgnored)
{
    configure();
    openWindow();
    appendJob();
    controller().didReceiveWithModel(
        packet(NetPackModel::kMainCmdSubscribe, loginResult(QrLoginPage::loginRecord(alice()))));
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(window().isActive());
    EXPECT_FALSE(m_settings->isScanQrcode());
    TestSupport::spin(200ms);
    EXPECT_TRUE(notificationTexts().isEmpty());
}

// The whole road: the code shown is opened and confirmed at the service's QR-login page, whose
// push server sends the result to this client's channel.
TEST_F(QrLoginTest, ScannedAndConfirmedCodeUploadsTheWaitingJob)
{
    PushServer push;
    ASSERT_TRUE(push.listen(QHostAddress::LocalHost, 0).ok());
    QrLoginPage page(sim().context().accounts, push);
    HttpEndpoint pageEndpoint;
    pageEndpoint.addRoute(QString::fromLatin1(QrLoginPage::kPath),
                          [&page](const QHttpServerRequest &request, HttpReply reply) {
                              page.handle(request, reply);
                          });
    const auto pagePort = pageEndpoint.listen(QHostAddress::LocalHost, 0);
    ASSERT_TRUE(pagePort.ok());

    configure();
    openWindow();
    m_pushChannel->connectWithHost(QStringLiteral("127.0.0.1"), push.port());
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return !push.subscribers(m_pushChannel->qrCodeIndentify()).isEmpty(); }));
    appendJob();
    toggle();
    ASSERT_NE(qrView(), nullptr);

    // The device opens the code's address (here on the page's own port) and confirms.
    QUrl url(qrView()->qrLoginUrl());
    url.setPort(pagePort.value());
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("confirm"), QStringLiteral("1"));
    query.addQueryItem(QStringLiteral("user"), QString::fromLatin1(kUser));
    url.setQuery(query);
    HttpFetch device;
    const HttpFetch::Answer answer = device.get(url);
    ASSERT_TRUE(answer.finished);
    ASSERT_EQ(answer.status, 200) << answer.body.toStdString();

    ASSERT_TRUE(waitForNotification(Localizable::string("Upload succesd")))
        << notificationTexts().join(" | ").toStdString();
    EXPECT_FALSE(window().isVisible());
    EXPECT_TRUE(m_settings->isScanQrcode());
    EXPECT_EQ(lastMembers(kRegistrationCall).value("user_id").toString(), alice().userId);
    EXPECT_TRUE(m_service->isJobArrayEmpty());
}

} // namespace
