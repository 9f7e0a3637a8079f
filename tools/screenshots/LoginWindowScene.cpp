#include "LoginWindowScene.h"

#include "client/categories/TagButton.h"
#include "client/controllers/LoginWindow.h"
#include "client/controllers/MainViewController.h"
#include "client/platform/LoggingNotificationCenter.h"

#include <QApplication>
#include <QDir>
#include <QPainter>

namespace {

constexpr auto kServiceAddress = "print.example.test";
constexpr auto kEntKey = "ACME";
constexpr auto kUserName = "alice";
constexpr auto kPassword = "secret";
// A fixed moment, so that the push channel's code is the same in every picture.
constexpr auto kChannelTime = "20240506091011";
// Room around the windows in the picture of both, in the colour of a plain desktop.
constexpr int kDesktopMargin = 16;
const QColor kDesktopColor(0xE4, 0xE8, 0xE9);

IniConfigModel configuration(const LoginWindowScene::Setup &setup)
{
    IniConfigModel model;
    model.serviceIP = QString::fromLatin1(kServiceAddress);
    model.servicePort = QStringLiteral("80");
    model.isNeedQrcode = setup.qrLogin;
    model.setEntKey(setup.presetEntKey ? QString::fromLatin1(kEntKey) : QString(""));
    return model;
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

} // namespace

LoginWindowScene::LoginWindowScene(const QString &folder, Setup setup)
    : m_config(QDir(folder).filePath(QStringLiteral("setup.ini")), m_transport)
    , m_settings(QDir(folder).filePath(QStringLiteral("default.ini")))
    , m_http(m_transport)
    , m_notifications(std::make_shared<LoggingNotificationCenter>())
    , m_uploadService(UploadService::Collaborators{
          .settings = m_settings,
          .config = m_config,
          .http = m_http,
          .notifications = m_notifications,
          .notificationCenter = m_notificationCenter,
          .loginWindow = nullptr,
          .ftpUploader = nullptr,
          .exitProcess = [](int) {},
      })
    , m_pushChannel(QString::fromLatin1(kChannelTime))
    , m_delegate(AppDelegate::Collaborators{
          .settings = m_settings,
          .config = m_config,
          .pushChannel = m_pushChannel,
          .notifications = m_notifications,
          .notificationCenter = m_notificationCenter,
          .uploadService = [this]() -> UploadService & { return m_uploadService; },
          .exitProcess = [](int) {},
          .logFolder = QDir(folder).filePath(QStringLiteral("alog")),
          .syslogIdent = QString(),
          .copyFolder = QDir(folder).filePath(QStringLiteral("vqmprinter")),
      })
{
    m_config.setConfigModel(configuration(setup));
    m_settings.saveEntKey(QString::fromLatin1(kEntKey));
    m_settings.saveUserName(QString::fromLatin1(kUserName));
    m_settings.saveUserPassword(QString::fromLatin1(kPassword));
    m_settings.saveIsSeveAccount(true);

    // The window as the client makes it on the first demand.
    m_delegate.showLoginWindow();
    settle();
}

LoginWindowScene::~LoginWindowScene() = default;

LoginWindow &LoginWindowScene::window()
{
    return *m_delegate.loginWindow();
}

MainViewController &LoginWindowScene::controller()
{
    return *window().contentViewController();
}

QImage LoginWindowScene::grabWindow()
{
    settle();
    return window().grab().toImage();
}

QImage LoginWindowScene::grabWithSubWindow()
{
    MainViewController &form = controller();
    form.showOrHideSubWindow(form.showSubViewBtn());
    settle();
    QWidget *subWindow = form.subWindow();
    const QRect loginFrame = window().frameGeometry();
    const QRect subFrame = subWindow->frameGeometry();
    const QRect scene = loginFrame.united(subFrame).adjusted(-kDesktopMargin, -kDesktopMargin,
                                                             kDesktopMargin, kDesktopMargin);
    QImage picture(scene.size(), QImage::Format_RGB32);
    picture.fill(kDesktopColor);
    QPainter painter(&picture);
    // The sub-window lies below the login window.
    painter.drawImage(subFrame.topLeft() - scene.topLeft(), subWindow->grab().toImage());
    painter.drawImage(loginFrame.topLeft() - scene.topLeft(), grabWindow());
    painter.end();
    return picture;
}
