#include "LoginForm.h"

#include "client/categories/BundleImage.h"
#include "client/categories/FlatButton.h"
#include "client/categories/HexColor.h"
#include "client/categories/TagButton.h"
#include "client/platform/Localizable.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

#include <algorithm>

namespace {

// Localized keys.
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

} // namespace

LoginForm::LoginForm(QWidget *view, const Contents &contents)
{
    view->setObjectName(QString::fromLatin1(kLoginViewName));
    QFont formFont = view->font();
    formFont.setPixelSize(kFontPixelSize);
    view->setFont(formFont);

    // 1: the decorative image, stretched over the left part.
    const qreal h = view->height();
    auto *background = new QLabel(view);
    background->setObjectName(QString::fromLatin1(kBackgroundImageName));
    background->setPixmap(QPixmap::fromImage(BundleImage::named(kBackgroundImage)));
    background->setScaledContents(true);
    const QRect imageFrame = QRectF(0, 0, kImageWidthPerHeight * h, h).toRect();
    background->setGeometry(imageFrame);

    // 2: the panel, right of the image, parent of every control.
    m_loginView = new QWidget(view);
    m_loginView->setObjectName(QString::fromLatin1(kLoginViewName));
    m_loginView->setGeometry(imageFrame.right() + 1, 0, view->width() - imageFrame.width(),
                             view->height());

    const qreal fieldsBottom = layoutFields(contents);
    layoutButtons(contents, fieldsBottom);
}

qreal LoginForm::layoutFields(const Contents &contents)
{
    const bool customEnt = !contents.iniEntKey.isEmpty();
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
    m_entkeyField = makeField(m_loginView, kEntKeyPlaceholderKey,
                              customEnt ? contents.iniEntKey : contents.savedEntKey);
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
    m_nameField = makeField(m_loginView, kUserNamePlaceholderKey, contents.userName);
    const QRectF nameFieldFrame =
        centredVertically(fieldLeft, fieldRight, userNameLabelFrame.center().y(), fieldHeight);
    m_nameField->setGeometry(nameFieldFrame.toRect());

    // 7, 8: the password, as wide and high as the user name field.
    const QRectF passwordLabelFrame(kPanelInset, nameFieldFrame.bottom() + kRowGap, kLabelWidth,
                                    labelHeight);
    passwordLabel->setGeometry(passwordLabelFrame.toRect());
    m_passField = makeField(m_loginView, kPasswordPlaceholderKey, contents.password);
    m_passField->setEchoMode(QLineEdit::Password);
    const QRectF passFieldFrame =
        centredVertically(nameFieldFrame.left(), nameFieldFrame.right(),
                          passwordLabelFrame.center().y(), nameFieldFrame.height());
    m_passField->setGeometry(passFieldFrame.toRect());
    return passFieldFrame.bottom();
}

void LoginForm::layoutButtons(const Contents &contents, qreal fieldsBottom)
{
    const qreal panelWidth = m_loginView->width();
    const qreal panelHeight = m_loginView->height();

    // 9: the button; its title says what the first press will do, and is not changed later.
    m_btnOK = new FlatButton(m_loginView);
    m_btnOK->setText(QString::fromUtf16(contents.jobWaiting ? kUploadTitle : kLoginTitle));
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
    m_showSubViewBtn->setVisible(contents.qrLogin);

    // 11: "Save account", right of the button; its text never runs under the toggle.
    m_saveAccountBox = new QCheckBox(localized(kSaveAccountKey), m_loginView);
    m_saveAccountBox->setObjectName(QString::fromLatin1(kSaveAccountBoxName));
    m_saveAccountBox->setChecked(contents.saveAccount);
    const qreal boxLeft = buttonFrame.right() + kCheckBoxGap;
    const qreal boxRight =
        contents.qrLogin ? toggleFrame.left() - kToggleClearance : panelWidth - kToggleInset;
    shrinkToWidth({m_saveAccountBox}, boxRight - boxLeft);
    const QSizeF boxSize = m_saveAccountBox->sizeHint();
    m_saveAccountBox->setGeometry(centredVertically(boxLeft, boxLeft + boxSize.width(),
                                                    buttonFrame.center().y(), boxSize.height())
                                      .toRect());
}
