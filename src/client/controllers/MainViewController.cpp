#include "MainViewController.h"

#include "LoginWindow.h"
#include "QrLoginResult.h"

#include "client/categories/BundleImage.h"
#include "client/categories/FlatButton.h"
#include "client/categories/ImageTransform.h"
#include "client/categories/TagButton.h"
#include "client/config/IniConfig.h"
#include "client/models/LoginResultModel.h"
#include "client/network/TRSocketManager.h"
#include "client/platform/Localizable.h"
#include "client/service/UploadService.h"
#include "client/settings/SettingsStore.h"
#include "client/tools/PRNotification.h"
#include "foundation/Dispatch.h"
#include "foundation/logging/Log.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPixmap>

namespace {

// Localized keys.
constexpr auto kTitleKey = "Tarvello";
constexpr auto kLoginingKey = "Logining ...";
constexpr auto kLoginSuccessfulKey = "Login successful";

// The toggle's arrow: mirrored while the sub-window is shown, turned back once it is hidden.
constexpr auto kToggleImage = "icon_right";
constexpr float kShownArrowDegrees = 0;
constexpr float kHiddenArrowDegrees = 180;

QString localized(const char *key)
{
    return Localizable::string(key);
}

QPixmap toggleArrow(float degrees)
{
    return QPixmap::fromImage(
        ImageTransform::transformMirrorWithRotateDeg(BundleImage::named(kToggleImage), degrees));
}

} // namespace

MainViewController::MainViewController(const QRect &contentRect, Collaborators collaborators,
                                       QWidget *parent)
    : QWidget(parent)
    , m_uploadService(collaborators.uploadService)
    , m_settings(collaborators.settings)
    , m_config(collaborators.config)
    , m_manager(collaborators.socketManager)
    , m_notifications(collaborators.notifications)
    , m_isFinishInitView(std::make_shared<std::atomic<bool>>(false))
{
    setGeometry(contentRect);
    viewDidLoad();
}

MainViewController::~MainViewController() = default;

void MainViewController::viewDidLoad()
{
    layoutUI();
    dataInit();
    dispatchGlobal([flag = m_isFinishInitView] { flag->store(true); });
}

bool MainViewController::isCustomEnt() const
{
    return !m_config.getIniConfigModel().entKey().isEmpty();
}

bool MainViewController::isSaveAccount() const
{
    return m_settings.isSaveAccount();
}

void MainViewController::layoutUI()
{
    const IniConfigModel &ini = m_config.getIniConfigModel();
    m_form = std::make_unique<LoginForm>(this, LoginForm::Contents{
                                                   .iniEntKey = ini.entKey(),
                                                   .savedEntKey = m_settings.entKey(),
                                                   .userName = m_settings.userName(),
                                                   .password = m_settings.userPassword(),
                                                   .saveAccount = isSaveAccount(),
                                                   .qrLogin = ini.isNeedQrcode,
                                                   .jobWaiting = !m_uploadService.isJobArrayEmpty(),
                                               });
    connect(btnOK(), &QPushButton::clicked, this, &MainViewController::handleConfirm);
    connect(showSubViewBtn(), &QPushButton::clicked, this,
            [this] { showOrHideSubWindow(showSubViewBtn()); });
    connect(m_form->saveAccountBox(), &QCheckBox::clicked, this,
            &MainViewController::saveAccountInfo);
}

void MainViewController::dataInit()
{
    m_manager.setDelegate(this);
}

ToastView *MainViewController::showMessage(const QString &text)
{
    return showMessage(text, ToastView::Mode::Text, true, kMessageDelay, nullptr);
}

ToastView *MainViewController::showMessage(const QString &text, std::function<void()> completion)
{
    return showMessage(text, ToastView::Mode::Text, true, kMessageDelay, std::move(completion));
}

ToastView *MainViewController::showMessage(const QString &text, ToastView::Mode mode, bool hide,
                                           std::chrono::seconds afterDelay,
                                           std::function<void()> completion)
{
    auto *toast = new ToastView(this);
    toast->setMode(mode);
    toast->setLabelText(text);
    if (hide)
        toast->hideAnimated(true, afterDelay);
    if (completion)
        toast->setCompletionBlock(std::move(completion));
    endEditing();
    toast->showAnimated(true);
    return toast;
}

void MainViewController::handleConfirm()
{
    if (!checkFieldTextSafed({nameField(), passField(), entkeyField()}))
        return;
    m_settings.saveUserName(nameField()->text());
    // Kept as typed; unless "Save account" is on, the next start clears it.
    m_settings.saveUserPassword(passField()->text());
    m_settings.saveEntKey(entkeyField()->text());
    m_settings.saveIsScanQrcode(false);
    login(nameField()->text(), passField()->text(), entkeyField()->text());
}

bool MainViewController::checkFieldTextSafed(const QList<QLineEdit *> &fields)
{
    // Nothing is trimmed: a text of blanks counts as filled in.
    for (QLineEdit *field : fields) {
        if (field->text().isEmpty()) {
            showMessage(field->placeholderText());
            return false;
        }
    }
    return true;
}

void MainViewController::login(const QString &userName, const QString &password,
                               const QString &entKey)
{
    endEditing();
    orderOutWindow();
    m_settings.saveIsScanQrcode(false);
    const UploadService::Job job = m_uploadService.headJob();
    m_notifications.pushNotificationWithTitle(localized(kTitleKey), QString(),
                                              localized(kLoginingKey));
    m_uploadService.login(userName, password, entKey, job);
}

void MainViewController::saveAccountInfo(bool checked)
{
    m_settings.saveIsSeveAccount(checked);
}

void MainViewController::upload(const VQLoginResult &loginResult, const QString &entKey)
{
    // The identity carries its own key.
    Q_UNUSED(entKey);
    m_settings.saveUserPassword(QString(""));
    m_uploadService.upload(loginResult, m_uploadService.headJob());
}

void MainViewController::handleCancel()
{
    orderOutWindow();
}

void MainViewController::windowWillClose()
{
    if (const UploadService::Job job = m_uploadService.headJob())
        m_uploadService.removeJob(job);
}

void MainViewController::showOrHideSubWindow(TagButton *sender)
{
    if (sender->tag() == LoginForm::kSubWindowHidden)
        m_subWindow.show(window(), m_config.getIniConfigModel().serviceIP,
                         m_manager.qrCodeIndentify());
    else if (sender->tag() == LoginForm::kSubWindowShown)
        m_subWindow.hide(window());
    sender->setTag(sender->tag() == LoginForm::kSubWindowHidden ? LoginForm::kSubWindowShown
                                                                : LoginForm::kSubWindowHidden);
    sender->setIcon(toggleArrow(sender->tag() == LoginForm::kSubWindowShown ? kShownArrowDegrees
                                                                            : kHiddenArrowDegrees));
}

void MainViewController::didConnectToHost(const QString &host, quint16 port)
{
    Q_UNUSED(host);
    Q_UNUSED(port);
}

void MainViewController::didReceiveWithModel(const NetPackModel &model)
{
    if (model.mainCmd == NetPackModel::kMainCmdQrLoginResult)
        QrcodeReceive(model.content);
}

void MainViewController::QrcodeReceive(const QString &content)
{
    if (content.isNull()) {
        Log::debug(QStringLiteral("QrcodeReceive context == nil"));
        return;
    }
    // Read before anything changes: a result that cannot be used must leave the window on
    // screen, or the waiting job and the user would have no way back.
    const Result<LoginResultModel> result =
        QrLoginResult::parse(content, m_manager.qrCodeIndentify());
    if (!result) {
        Log::client(
            QStringLiteral("!!QR login result %1, ignored").arg(result.error().description));
        return;
    }
    endEditing();
    orderOutWindow();

    if (!m_uploadService.headJob()) {
        m_notifications.pushNotificationWithTitle(localized(kTitleKey), QString(),
                                                  localized(kLoginSuccessfulKey));
        return;
    }
    useQrLogin(result.value());
}

void MainViewController::useQrLogin(const LoginResultModel &result)
{
    m_settings.saveUserName(result.code);
    m_settings.saveUserid(result.userId);
    m_settings.saveEntKey(result.entkey);
    m_settings.saveEntid(result.entId);
    m_settings.saveIsScanQrcode(true);
    m_settings.saveIsSeveAccount(false);
    m_settings.saveUserPassword(QString(""));
    nameField()->setText(result.code);

    // The upload chain fetches a fresh request key for it.
    VQLoginResult identity;
    identity.userId = result.userId;
    identity.entkey = result.entkey;
    identity.entId = result.entId;
    upload(identity, identity.entkey);
}

void MainViewController::endEditing()
{
    if (QWidget *focused = window()->focusWidget())
        focused->clearFocus();
}

void MainViewController::orderOutWindow()
{
    if (LoginWindow *window = loginWindow())
        window->orderOut();
}

LoginWindow *MainViewController::loginWindow() const
{
    return qobject_cast<LoginWindow *>(window());
}
