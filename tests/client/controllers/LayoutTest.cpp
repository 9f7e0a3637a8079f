#include "LoginWindowFixture.h"

#include "support/TestSupport.h"

#include "client/categories/FlatButton.h"
#include "client/categories/HexColor.h"
#include "client/categories/TagButton.h"
#include "client/platform/Localizable.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include <cmath>

using namespace std::chrono_literals;

namespace {

// Geometry is laid out in fractions and shown in whole pixels.
constexpr double kPixel = 1.0;

struct Edges
{
    double left, top, right, bottom;
    double centreX() const { return (left + right) / 2; }
    double centreY() const { return (top + bottom) / 2; }
    double width() const { return right - left; }
    double height() const { return bottom - top; }
};

Edges edges(const QWidget *widget)
{
    const QRect g = widget->geometry();
    return {double(g.x()), double(g.y()), double(g.x() + g.width()), double(g.y() + g.height())};
}

class LayoutTest : public LoginWindowFixture
{
protected:
    template <typename T>
    T *part(const char *name)
    {
        return controller().findChild<T *>(QString::fromLatin1(name));
    }
    QCheckBox *saveAccountBox() { return part<QCheckBox>(MainViewController::kSaveAccountBoxName); }

    // Every control shown on the panel, none overlapping another or leaving the panel.
    void expectNoOverlap()
    {
        QWidget *panel = controller().loginView();
        QList<QWidget *> shown;
        for (QWidget *child : panel->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisibleTo(panel))
                shown << child;
        }
        for (QWidget *widget : shown) {
            EXPECT_TRUE(panel->rect().contains(widget->geometry()))
                << widget->metaObject()->className() << " leaves the panel";
            for (QWidget *other : shown) {
                if (other == widget)
                    continue;
                EXPECT_FALSE(widget->geometry().intersects(other->geometry()))
                    << widget->metaObject()->className() << " overlaps "
                    << other->metaObject()->className();
            }
        }
    }
};

struct SizeCase
{
    const char *iniEntKey;
    int height;
    bool entKeyRowShown;
};

class LayoutSizeTest : public LayoutTest, public ::testing::WithParamInterface<SizeCase>
{};

TEST_P(LayoutSizeTest, PlacesEveryPartAsTheFormDescribes)
{
    const SizeCase &size = GetParam();
    configure({.entKey = QString::fromLatin1(size.iniEntKey), .qrLogin = true});
    openWindow();
    const double h = size.height;
    const double width = 2.5 * h;

    const Edges image = edges(part<QLabel>(MainViewController::kBackgroundImageName));
    EXPECT_NEAR(image.left, 0, kPixel);
    EXPECT_NEAR(image.top, 0, kPixel);
    EXPECT_NEAR(image.width(), 0.61 * h, kPixel);
    EXPECT_NEAR(image.height(), h, kPixel);

    const Edges panel = edges(controller().loginView());
    EXPECT_NEAR(panel.left, image.right, kPixel);
    EXPECT_NEAR(panel.right, width, kPixel);
    EXPECT_NEAR(panel.top, 0, kPixel);
    EXPECT_NEAR(panel.bottom, h, kPixel);
    const double panelWidth = panel.width();
    const double panelHeight = panel.height();

    QLabel *entKeyLabel = part<QLabel>(MainViewController::kEntKeyLabelName);
    EXPECT_EQ(entKeyLabel->isVisibleTo(&controller()), size.entKeyRowShown);
    EXPECT_EQ(controller().entkeyField()->isVisibleTo(&controller()), size.entKeyRowShown);

    const Edges userLabel = edges(part<QLabel>(MainViewController::kUserNameLabelName));
    const Edges name = edges(controller().nameField());
    if (size.entKeyRowShown) {
        const Edges keyLabel = edges(entKeyLabel);
        const Edges key = edges(controller().entkeyField());
        EXPECT_NEAR(keyLabel.left, 20, kPixel);
        EXPECT_NEAR(keyLabel.top, 30, kPixel);
        EXPECT_NEAR(keyLabel.width(), 60, kPixel);
        EXPECT_NEAR(key.left, keyLabel.right + 8, kPixel);
        EXPECT_NEAR(key.right, panelWidth - 20, kPixel);
        EXPECT_NEAR(key.centreY(), keyLabel.centreY(), kPixel);
        EXPECT_NEAR(userLabel.top, key.bottom + 20, kPixel);
    } else {
        EXPECT_NEAR(userLabel.top, 45, kPixel);
    }
    EXPECT_NEAR(userLabel.left, 20, kPixel);
    EXPECT_NEAR(userLabel.width(), 60, kPixel);
    EXPECT_NEAR(name.left, userLabel.right + 8, kPixel);
    EXPECT_NEAR(name.right, panelWidth - 20, kPixel);
    EXPECT_NEAR(name.centreY(), userLabel.centreY(), kPixel);

    const Edges passLabel = edges(part<QLabel>(MainViewController::kPasswordLabelName));
    const Edges pass = edges(controller().passField());
    EXPECT_NEAR(passLabel.left, 20, kPixel);
    EXPECT_NEAR(passLabel.top, name.bottom + 20, kPixel);
    EXPECT_NEAR(pass.left, name.left, kPixel);
    EXPECT_NEAR(pass.right, name.right, kPixel);
    EXPECT_NEAR(pass.height(), name.height(), kPixel);
    EXPECT_NEAR(pass.centreY(), passLabel.centreY(), kPixel);
    EXPECT_EQ(controller().passField()->echoMode(), QLineEdit::Password);

    const Edges button = edges(controller().btnOK());
    EXPECT_NEAR(button.centreX(), panelWidth / 2, kPixel);
    EXPECT_NEAR(button.top, pass.bottom + 10, kPixel);
    EXPECT_NEAR(button.width(), 80, kPixel);
    EXPECT_NEAR(button.height(), 32, kPixel);

    const Edges toggle = edges(controller().showSubViewBtn());
    EXPECT_NEAR(toggle.right, panelWidth - 4, kPixel);
    EXPECT_NEAR(toggle.bottom, panelHeight - 4, kPixel);
    EXPECT_NEAR(toggle.width(), 30, kPixel);
    EXPECT_NEAR(toggle.height(), 30, kPixel);

    const Edges box = edges(saveAccountBox());
    EXPECT_NEAR(box.left, button.right + 10, kPixel);
    EXPECT_NEAR(box.centreY(), button.centreY(), kPixel);

    expectNoOverlap();
}

INSTANTIATE_TEST_SUITE_P(Sizes, LayoutSizeTest,
                         ::testing::Values(SizeCase{"ACME", 170, false}, SizeCase{"", 180, true}));

TEST_F(LayoutTest, NothingOverlapsInChineseEither)
{
    Localizable::install(QLocale(QStringLiteral("zh_CN")));
    for (const char *iniEntKey : {"ACME", ""}) {
        SCOPED_TRACE(iniEntKey);
        configure({.entKey = QString::fromLatin1(iniEntKey)});
        openWindow();
        EXPECT_EQ(saveAccountBox()->text(), QString::fromUtf8("记住账号"));
        expectNoOverlap();
    }
    Localizable::install(QLocale(QLocale::English));
}

TEST_F(LayoutTest, TheQrToggleIsThereOnlyWhenTheIniFileOffersQrLogin)
{
    configure({.entKey = QString(), .qrLogin = false});
    openWindow();
    EXPECT_FALSE(controller().showSubViewBtn()->isVisibleTo(&controller()));

    configure({.entKey = QString(), .qrLogin = true});
    openWindow();
    EXPECT_TRUE(controller().showSubViewBtn()->isVisibleTo(&controller()));
    EXPECT_EQ(controller().showSubViewBtn()->tag(), MainViewController::kSubWindowHidden);
}

TEST_F(LayoutTest, CompanyKeyFieldHoldsThePresetKeyElseTheSavedOne)
{
    m_settings->saveEntKey(QStringLiteral("SAVED"));
    configure({.entKey = QStringLiteral("ACME")});
    openWindow();
    EXPECT_FALSE(controller().entkeyField()->isVisibleTo(&controller()));
    EXPECT_EQ(controller().entkeyField()->text(), QStringLiteral("ACME"));

    configure({.entKey = QString()});
    openWindow();
    EXPECT_TRUE(controller().entkeyField()->isVisibleTo(&controller()));
    EXPECT_EQ(controller().entkeyField()->text(), QStringLiteral("SAVED"));
}

TEST_F(LayoutTest, EmptyFieldsShowTheirPlaceholders)
{
    configure();
    openWindow();
    EXPECT_TRUE(controller().entkeyField()->text().isEmpty());
    EXPECT_EQ(controller().entkeyField()->placeholderText(),
              Localizable::string("Please enter your company Key"));
    EXPECT_EQ(controller().nameField()->placeholderText(),
              Localizable::string("Please enter your user name"));
    EXPECT_EQ(controller().passField()->placeholderText(),
              Localizable::string("Please enter your password"));
}

class SavedAccountLayoutTest : public LayoutTest, public ::testing::WithParamInterface<bool>
{};

TEST_P(SavedAccountLayoutTest, CheckBoxAndFieldsShowTheSavedAccount)
{
    const bool saveAccount = GetParam();
    m_settings->saveUserName(QStringLiteral("alice"));
    // What start-up leaves: the password only when "Save account" is on.
    m_settings->saveUserPassword(saveAccount ? QStringLiteral("alice-pass") : QString(""));
    m_settings->saveIsSeveAccount(saveAccount);
    configure();
    openWindow();
    EXPECT_EQ(saveAccountBox()->isChecked(), saveAccount);
    EXPECT_EQ(controller().nameField()->text(), QStringLiteral("alice"));
    EXPECT_EQ(controller().passField()->text(),
              saveAccount ? QStringLiteral("alice-pass") : QString());
}

INSTANTIATE_TEST_SUITE_P(SaveAccount, SavedAccountLayoutTest, ::testing::Bool());

TEST_F(LayoutTest, ButtonTitleIsChosenOnceWhenTheFormIsBuilt)
{
    configure();
    const UploadService::Job job = appendJob();
    openWindow();
    EXPECT_EQ(controller().btnOK()->text(), QString::fromUtf8("上 传"));
    m_service->removeJob(job);
    TestSupport::spin(20ms);
    EXPECT_EQ(controller().btnOK()->text(), QString::fromUtf8("上 传")) << "kept after the job";

    configure();
    openWindow();
    EXPECT_EQ(controller().btnOK()->text(), QString::fromUtf8("登 录"));
}

TEST_F(LayoutTest, ButtonIsWhiteOnTheFormColours)
{
    configure();
    openWindow();
    FlatButton *button = controller().btnOK();
    EXPECT_EQ(button->backgroundNormalColor(), QColor(0x92, 0xAA, 0xAE));
    EXPECT_EQ(button->backgroundHighlightColor(), QColor(0x77, 0x95, 0x9A));
    EXPECT_EQ(button->titleNormalColor(), QColor(Qt::white));
    EXPECT_EQ(button->titleHighlightColor(), QColor(Qt::white));
    EXPECT_FALSE(button->isCheckable());
}

TEST_F(LayoutTest, BecomesThePushChannelsDelegateOnceBuilt)
{
    configure();
    EXPECT_EQ(m_pushChannel->delegate(), nullptr);
    openWindow();
    EXPECT_EQ(m_pushChannel->delegate(), &controller());
    EXPECT_EQ(controller().manager(), m_pushChannel.get());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return controller().isFinishInitView(); }, 5s));
}

TEST_F(LayoutTest, ToastEndsEditingAndGoesAwayAfterAboutASecond)
{
    configure();
    openWindow();
    controller().nameField()->setFocus();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return controller().nameField()->hasFocus(); }, 2s));

    QPointer<ToastView> toast = controller().showMessage(QStringLiteral("Hello"));
    EXPECT_FALSE(controller().nameField()->hasFocus());
    ASSERT_FALSE(toast.isNull());
    EXPECT_TRUE(toast->isVisible());
    EXPECT_EQ(toast->mode(), ToastView::Mode::Text);
    EXPECT_EQ(toast->labelText(), QStringLiteral("Hello"));
    EXPECT_EQ(toast->geometry(), controller().rect()) << "covers the form";
    TestSupport::spin(500ms);
    EXPECT_FALSE(toast.isNull()) << "still shown half a second later";
    EXPECT_TRUE(TestSupport::waitUntil([&] { return toast.isNull(); }, 5s));
}

} // namespace
