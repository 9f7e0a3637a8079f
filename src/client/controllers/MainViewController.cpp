#include "MainViewController.h"

#include "LoginWindow.h"
#include "QRCodeVC.h"

#include "client/categories/BundleImage.h"
#include "client/categories/FlatButton.h"
#include "client/categories/HexColor.h"
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
#include "foundation/Record.h"
#include "foundation/logging/Log.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

#include <algorithm>

namespace {

// Localized keys.
constexpr auto kTitleKey = "Tarvello";
constexpr auto kLoginingKey = "Logining ...";
constexpr auto kLoginSuccessfulKey = "Login successful";
constexpr auto kEntKeyKey = "Company key";
constexpr auto kEntKeyPlaceholderKey = "Please enter your company Key";
constexpr auto kUserNameKey = "User name";
constexpr auto kUserNamePlaceholderKey = "Please enter your user name";
constexpr auto kPasswordKey = "Password";
constexpr auto kPasswordPlaceholderKey = "Please enter your password";
constexpr auto kSaveAccountKey = "Save account";
constexpr auto kLabelFormat = "%1  : ";

// Images.
constexpr auto kBackgroundImage = "background";
constexpr auto kToggleImage = "icon_right";
// The toggle's arrow: mirrored while the sub-window is shown, turned back once it is hidden.
constexpr float kShownArrowDegrees = 0;
constexpr float kHiddenArrowDegrees = 180;

// Layout, in pixels of the content; top and left offsets are measured from the panel's edges.
constexpr qreal kImageWidthPerHeight = 0.61;
constexpr qreal kPanelInset = 20;
constexpr qreal kEntKeyRowTop = 30;
constexpr qreal kCustomEntFirstRowTop = 45;
constexpr qreal kLabelWidth = 60;
constexpr qreal kLabelFieldGap = 8;
constexpr qreal kRowGap = 20;
constexpr qreal kButtonTopGap = 10;
constexpr QSizeF kButtonSize{80, 32};
constexpr qreal kCheckBoxGap = 10;
constexpr qreal kToggleInset = 4;
constexpr QSizeF kToggleSize{30, 30};
// Text sizes of the form; a text too wide for its place is set smaller, down to
// kMinimumFontPixelSize.
constexpr int kFontPixelSize = 13;
constexpr int kMinimumFontPixelSize = 9;
// Nothing comes closer than this to the toggle.
constexpr int kToggleClearance = 4;

// The log-in/upload button.
constexpr auto kButtonColor = "92AAAE";
constexpr auto kButtonHighlightedColor = "77959A";
constexpr qreal kButtonCornerRadius = 4.0;

const QColor kLabelTextColor = Qt::black;

QString localized(const char *key)
{
    return Localizable::string(key);
}

QRectF centredVertically(qreal left, qreal right, qreal centreY, qreal height)
{
    return QRectF(left, centreY - height / 2, right - left, height);
}

// Sets the widgets' texts smaller, all to the same size, until each one's natural width fits.
void shrinkToWidth(const QList<QWidget *> &widgets, qreal width)
{
    const auto tooWide = [&widgets, width] {
        return std::any_of(widgets.begin(), widgets.end(), [width](const QWidget *widget) {
            return widget->sizeHint().width() > width;
        });
    };
    QFont font = widgets.first()->font();
    while (tooWide() && font.pixelSize() > kMinimumFontPixelSize) {
        font.setPixelSize(font.pixelSize() - 1);
        for (QWidget *widget : widgets)
            widget->setFont(font);
    }
}

QLabel *makeLabel(QWidget *parent, const char *name, const char *key)
{
    auto *label = new QLabel(QString::fromLatin1(kLabelFormat).arg(localized(key)), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

QLineEdit *makeField(QWidget *parent, const char *placeholderKey, const QString &value)
{
    auto *field = new QLineEdit(parent);
    field->setAlignment(Qt::AlignCenter);
    field->setPlaceholderText(localized(placeholderKey));
    field->setText(value);
    return field;
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
    , m_socketManager(collaborators.socketManager)
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
    setObjectName(QString::fromLatin1(kLoginViewName));
    QFont formFont = font();
    formFont.setPixelSize(kFontPixelSize);
    setFont(formFont);

    // 1: the decorative image, stretched over the left part.
    const qreal h = height();
    auto *background = new QLabel(this);
    background->setObjectName(QString::fromLatin1(kBackgroundImageName));
    background->setPixmap(QPixmap::fromImage(BundleImage::named(kBackgroundImage)));
    background->setScaledContents(true);
    const QRect imageFrame = QRectF(0, 0, kImageWidthPerHeight * h, h).toRect();
    background->setGeometry(imageFrame);

    // 2: the panel, right of the image, parent of every control.
    m_loginView = new QWidget(this);
    m_loginView->setObjectName(QString::fromLatin1(kLoginViewName));
    m_loginView->setGeometry(imageFrame.right() + 1, 0, width() - imageFrame.width(), height());

    const qreal fieldsBottom = layoutFields();
    layoutButtons(fieldsBottom);
}

qreal MainViewController::layoutFields()
{
    const bool customEnt = isCustomEnt();
    const qreal fieldLeft = kPanelInset + kLabelWidth + kLabelFieldGap;
    const qreal fieldRight = m_loginView->width() - kPanelInset;

    // The labels keep one text size, the largest at which each fits its width.
    QLabel *entKeyLabel = makeLabel(m_loginView, kEntKeyLabelName, kEntKeyKey);
    QLabel *userNameLabel = makeLabel(m_loginView, kUserNameLabelName, kUserNameKey);
    QLabel *passwordLabel = makeLabel(m_loginView, kPasswordLabelName, kPasswordKey);
    shrinkToWidth({entKeyLabel, userNameLabel, passwordLabel}, kLabelWidth);
    const qreal labelHeight = entKeyLabel->sizeHint().height();

    // 3, 4: the company-key row, hidden as a pair when the INI file presets the key; the field
    // then holds that key.
    QPalette labelPalette = entKeyLabel->palette();
    labelPalette.setColor(QPalette::WindowText, kLabelTextColor);
    entKeyLabel->setPalette(labelPalette);
    const QRectF entKeyLabelFrame(kPanelInset, kEntKeyRowTop, kLabelWidth, labelHeight);
    entKeyLabel->setGeometry(entKeyLabelFrame.toRect());
    const QString iniEntKey = m_config.getIniConfigModel().entKey();
    m_entkeyField = makeField(m_loginView, kEntKeyPlaceholderKey,
                              iniEntKey.isEmpty() ? m_settings.entKey() : iniEntKey);
    QPalette fieldPalette = m_entkeyField->palette();
    fieldPalette.setColor(QPalette::Text, kLabelTextColor);
    m_entkeyField->setPalette(fieldPalette);
    const qreal fieldHeight = m_entkeyField->sizeHint().height();
    const QRectF entKeyFieldFrame =
        centredVertically(fieldLeft, fieldRight, entKeyLabelFrame.center().y(), fieldHeight);
    m_entkeyField->setGeometry(entKeyFieldFrame.toRect());
    entKeyLabel->setVisible(!customEnt);
    m_entkeyField->setVisible(!customEnt);

    // 5, 6: the user name, first when the company-key row is hidden.
    const qreal userNameTop =
        customEnt ? kCustomEntFirstRowTop : entKeyFieldFrame.bottom() + kRowGap;
    const QRectF userNameLabelFrame(kPanelInset, userNameTop, kLabelWidth, labelHeight);
    userNameLabel->setGeometry(userNameLabelFrame.toRect());
    m_nameField = makeField(m_loginView, kUserNamePlaceholderKey, m_settings.userName());
    const QRectF nameFieldFrame =
        centredVertically(fieldLeft, fieldRight, userNameLabelFrame.center().y(), fieldHeight);
    m_nameField->setGeometry(nameFieldFrame.toRect());

    // 7, 8: the password, as wide and high as the user name field.
    const QRectF passwordLabelFrame(kPanelInset, nameFieldFrame.bottom() + kRowGap, kLabelWidth,
                                    labelHeight);
    passwordLabel->setGeometry(passwordLabelFrame.toRect());
    m_passField = makeField(m_loginView, kPasswordPlaceholderKey, m_settings.userPassword());
    m_passField->setEchoMode(QLineEdit::Password);
    const QRectF passFieldFrame =
        centredVertically(nameFieldFrame.left(), nameFieldFrame.right(),
                          passwordLabelFrame.center().y(), nameFieldFrame.height());
    m_passField->setGeometry(passFieldFrame.toRect());
    return passFieldFrame.bottom();
}

void MainViewController::layoutButtons(qreal fieldsBottom)
{
    const qreal panelWidth = m_loginView->width();
    const qreal panelHeight = m_loginView->height();

    // 9: the button; its title says what the first press will do, and is not changed later.
    m_btnOK = new FlatButton(m_loginView);
    m_btnOK->setText(
        QString::fromUtf16(m_uploadService.isJobArrayEmpty() ? kLoginTitle : kUploadTitle));
    m_btnOK->setTitleNormalColor(Qt::white);
    m_btnOK->setTitleHighlightColor(Qt::white);
    m_btnOK->setCornerRadius(kButtonCornerRadius);
    m_btnOK->setBackgroundNormalColor(
        HexColor::colorWithHexString(QString::fromLatin1(kButtonColor)));
    m_btnOK->setBackgroundHighlightColor(
        HexColor::colorWithHexString(QString::fromLatin1(kButtonHighlightedColor)));
    const QRectF buttonFrame(
        QPointF((panelWidth - kButtonSize.width()) / 2, fieldsBottom + kButtonTopGap), kButtonSize);
    m_btnOK->setGeometry(buttonFrame.toRect());
    connect(m_btnOK, &QPushButton::clicked, this, &MainViewController::handleConfirm);

    // 10: the QR-login toggle in the panel's lower-right corner, when the INI file offers QR
    // login.
    m_showSubViewBtn = new TagButton(m_loginView);
    const QImage arrow = BundleImage::named(kToggleImage);
    m_showSubViewBtn->setIcon(QPixmap::fromImage(arrow));
    m_showSubViewBtn->setIconSize(arrow.size());
    m_showSubViewBtn->setTag(kSubWindowHidden);
    const QRectF toggleFrame(QPointF(panelWidth - kToggleInset - kToggleSize.width(),
                                     panelHeight - kToggleInset - kToggleSize.height()),
                             kToggleSize);
    m_showSubViewBtn->setGeometry(toggleFrame.toRect());
    const bool qrLogin = m_config.getIniConfigModel().isNeedQrcode;
    m_showSubViewBtn->setVisible(qrLogin);
    connect(m_showSubViewBtn, &QPushButton::clicked, this,
            [this] { showOrHideSubWindow(m_showSubViewBtn); });

    // 11: "Save account", right of the button; its text never runs under the toggle.
    auto *saveAccountBox = new QCheckBox(localized(kSaveAccountKey), m_loginView);
    saveAccountBox->setObjectName(QString::fromLatin1(kSaveAccountBoxName));
    saveAccountBox->setChecked(isSaveAccount());
    const qreal boxLeft = buttonFrame.right() + kCheckBoxGap;
    const qreal boxRight =
        qrLogin ? toggleFrame.left() - kToggleClearance : panelWidth - kToggleInset;
    shrinkToWidth({saveAccountBox}, boxRight - boxLeft);
    const QSizeF boxSize = saveAccountBox->sizeHint();
    saveAccountBox->setGeometry(centredVertically(boxLeft, boxLeft + boxSize.width(),
                                                  buttonFrame.center().y(), boxSize.height())
                                    .toRect());
    connect(saveAccountBox, &QCheckBox::clicked, this, &MainViewController::saveAccountInfo);
}

void MainViewController::dataInit()
{
    m_manager = &m_socketManager;
    m_manager->setDelegate(this);
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
    if (!checkFieldTextSafed({m_nameField, m_passField, m_entkeyField}))
        return;
    m_settings.saveUserName(m_nameField->text());
    // Kept as typed; unless "Save account" is on, the next start clears it.
    m_settings.saveUserPassword(m_passField->text());
    m_settings.saveEntKey(m_entkeyField->text());
    m_settings.saveIsScanQrcode(false);
    login(m_nameField->text(), m_passField->text(), m_entkeyField->text());
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
    if (sender->tag() == kSubWindowHidden)
        showSubWindow();
    else if (sender->tag() == kSubWindowShown)
        hideSubWindow();
    sender->setTag(sender->tag() == kSubWindowHidden ? kSubWindowShown : kSubWindowHidden);
    sender->setIcon(
        toggleArrow(sender->tag() == kSubWindowShown ? kShownArrowDegrees : kHiddenArrowDegrees));
}

void MainViewController::showSubWindow()
{
    // Borderless, above other windows like the login window, never taking the keyboard.
    constexpr Qt::WindowFlags kSubWindowFlags = Qt::Tool | Qt::FramelessWindowHint |
                                                Qt::WindowStaysOnTopHint |
                                                Qt::WindowDoesNotAcceptFocus;
    if (m_subWindow) {
        if (LoginWindow *window = loginWindow())
            window->removeChildWindow(m_subWindow.get());
    }
    m_subWindow = std::make_unique<QWidget>(nullptr, kSubWindowFlags);
    auto *qrCode = new QRCodeVC(m_config.getIniConfigModel().serviceIP,
                                m_manager->qrCodeIndentify(), m_subWindow.get());
    // The window takes the size of the QR view; its lower-left corner stays where it is placed.
    m_subWindow->setFixedSize(qrCode->size());
    const QRect frame = window()->frameGeometry();
    const int bottomEdge = frame.y() + frame.height() - kSubWindowRaise;
    m_subWindow->move(frame.x() + frame.width() - kSubWindowOverlap,
                      bottomEdge - m_subWindow->height());
    if (LoginWindow *window = loginWindow())
        window->addChildWindow(m_subWindow.get(), LoginWindow::WindowOrdering::Below);
    else
        m_subWindow->show();
}

void MainViewController::hideSubWindow()
{
    if (!m_subWindow)
        return;
    if (LoginWindow *window = loginWindow())
        window->removeChildWindow(m_subWindow.get());
    m_subWindow->hide();
    m_subWindow->setMinimumSize(0, 0);
    m_subWindow->setGeometry(QRect());
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
    endEditing();
    orderOutWindow();

    const UploadService::Job job = m_uploadService.headJob();
    if (!job) {
        m_notifications.pushNotificationWithTitle(localized(kTitleKey), QString(),
                                                  localized(kLoginSuccessfulKey));
        return;
    }

    // The text is the channel code, ";" and the login record.
    QString record = content;
    record.replace(m_manager->qrCodeIndentify() + QLatin1Char(';'), QString(""));
    const QJsonDocument document = QJsonDocument::fromJson(record.toUtf8());
    if (!document.isObject()) {
        Log::client(QStringLiteral("!!QR login result is not a JSON object, ignored"));
        return;
    }
    const auto result = Record::fromJson<LoginResultModel>(document.object());
    // The account name and the company key are what the settings and the upload need.
    if (result.code.isNull() || result.entkey.isNull()) {
        Log::client(QStringLiteral("!!QR login result lacks code or entkey, ignored"));
        return;
    }

    m_settings.saveUserName(result.code);
    m_settings.saveUserid(result.userId);
    m_settings.saveEntKey(result.entkey);
    m_settings.saveEntid(result.entId);
    m_settings.saveIsScanQrcode(true);
    m_settings.saveIsSeveAccount(false);
    m_settings.saveUserPassword(QString(""));
    m_nameField->setText(result.code);

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
