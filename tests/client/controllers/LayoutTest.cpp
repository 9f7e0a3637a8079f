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
// Far enough in from the button's edges to leave its rounded corners out.
constexpr int kButtonCornerInset = 4;

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
    QCheckBox *saveAccountBox() { return part<QCheckBox>(LoginForm::kSaveAccountBoxName); }

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

    const Edges image = edges(part<QLabel>(LoginForm::kBackgroundImageName));
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

    QLabel *entKeyLabel = part<QLabel>(LoginForm::kEntKeyLabelName);
    EXPECT_EQ(entKeyLabel->isVisibleTo(&controller()), size.entKeyRowShown);
    EXPECT_EQ(controller().entkeyField()->isVisibleTo(&controller()), size.entKeyRowShown);

    const Edges userLabel = edges(part<QLabel>(LoginForm::kUserNameLabelName));
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

    const Edges passLabel = edges(part<QLabel>(LoginForm::kPasswordLabelName));
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
    EXPECT_EQ(controller().showSubViewBtn()->tag(), LoginForm::kSubWindowHidden);
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

// The button as drawn: its face in the form's colour (the lighter one at rest, the darker while
// held down) and its title in white, antialiased onto that face and nothing else.
TEST_F(LayoutTest, ButtonIsWhiteOnTheFormColours)
{
    struct State
    {
        bool held;
        QRgb face;
    };
    configure();
    openWindow();
    FlatButton *button = controller().btnOK();
    for (const State state :
         {State{false, qRgb(0x92, 0xAA, 0xAE)}, State{true, qRgb(0x77, 0x95, 0x9A)}}) {
        SCOPED_TRACE(state.held ? "held" : "at rest");
        button->setDown(state.held);
        const QImage image = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Inside the rounded corners every pixel is the face, white, or a blend of the two.
        const QRect inner = image.rect().adjusted(kButtonCornerInset, kButtonCornerInset,
                                                  -kButtonCornerInset, -kButtonCornerInset);
        int facePixels = 0;
        int whitePixels = 0;
        for (int y = inner.top(); y <= inner.bottom(); ++y) {
            for (int x = inner.left(); x <= inner.right(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                facePixels += pixel == state.face;
                whitePixels += pixel == qRgb(255, 255, 255);
                ASSERT_TRUE(qRed(pixel) >= qRed(state.face) &&
                            qGreen(pixel) >= qGreen(state.face) &&
                            qBlue(pixel) >= qBlue(state.face))
                    << "neither face nor title at " << x << "," << y;
            }
        }
        EXPECT_GT(facePixels, inner.width() * inner.height() / 2) << "mostly face";
        EXPECT_GT(whitePixels, 0) << "a white title";
    }
    button->setDown(false);
}

TEST_F(LayoutTest, BecomesThePushChannelsDelegateOnceBuilt)
{
    configure();
    EXPECT_EQ(m_pushChannel->delegate(), nullptr);
    openWindow();
    EXPECT_EQ(m_pushChannel->delegate(), &controller());
    EXPECT_EQ(controller().manager(), m_pushChannel.get());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return controller().isFinishInitView(); }, 5s));
    // Set once from the pool; afterwards the flag reads what was last set.
    controller().setIsFinishInitView(false);
    EXPECT_FALSE(controller().isFinishInitView());
    controller().setIsFinishInitView(true);
    EXPECT_TRUE(controller().isFinishInitView());
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
