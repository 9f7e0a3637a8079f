#include "support/TestSupport.h"

#include "client/categories/HexColor.h"
#include "client/categories/ImageTransform.h"
#include "client/categories/PRAlertView.h"
#include "client/categories/PRProgressHUD.h"
#include "client/categories/PopBtnView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

const QColor kFormColour = QColor::fromRgbF(0x92 / 255.0f, 0xAA / 255.0f, 0xAE / 255.0f);

class HexColorTest : public ::testing::TestWithParam<std::pair<const char *, QColor>>
{};

TEST_P(HexColorTest, ReadsTheText)
{
    const auto &[text, colour] = GetParam();
    EXPECT_EQ(HexColor::colorWithHexString(QString::fromLatin1(text)), colour) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HexColorTest,
    ::testing::Values(std::pair{"#92AAAE", kFormColour}, std::pair{"92aaae", kFormColour},
                      std::pair{"0x92AAAE", kFormColour}, std::pair{"0X92aaae", kFormColour},
                      std::pair{"  92AAAE\n", kFormColour},
                      std::pair{"92AAA", QColor(Qt::transparent)},
                      std::pair{"#92AAAE7", QColor(Qt::transparent)},
                      std::pair{"", QColor(Qt::transparent)},
                      // A pair read as far as it has hexadecimal digits; none reads 0.
                      std::pair{"9GZZ0A", QColor::fromRgbF(9 / 255.0f, 0, 10 / 255.0f)}));

TEST(HexColorAlphaTest, OpaqueUnlessAnAlphaIsGiven)
{
    EXPECT_EQ(HexColor::colorWithHexString(QStringLiteral("77959A")).alphaF(), 1.0f);
    const QColor faint = HexColor::colorWithHexString(QStringLiteral("77959A"), 0.5f);
    EXPECT_NEAR(faint.alphaF(), 0.5f, 1.0f / 255);
    EXPECT_EQ(faint.rgb(), QColor(0x77, 0x95, 0x9A).rgb());
}

// A 20 x 10 picture: left half black, right half white, and one red pixel in the top-left corner.
QImage halves()
{
    QImage image(20, 10, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x)
            image.setPixel(x, y, x < 10 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    }
    image.setPixel(0, 0, qRgb(255, 0, 0));
    return image;
}

TEST(ImageTransformTest, ZeroDegreesMirrorsLeftToRight)
{
    const QImage result = ImageTransform::transformMirrorWithRotateDeg(halves(), 0);
    ASSERT_EQ(result.size(), QSize(20, 10));
    EXPECT_EQ(result.pixel(2, 5), qRgb(255, 255, 255));
    EXPECT_EQ(result.pixel(17, 5), qRgb(0, 0, 0));
    EXPECT_EQ(result.pixel(19, 0), qRgb(255, 0, 0));
}

TEST(ImageTransformTest, HalfATurnMirrorsTopToBottom)
{
    const QImage result = ImageTransform::transformMirrorWithRotateDeg(halves(), 180);
    ASSERT_EQ(result.size(), QSize(20, 10));
    EXPECT_EQ(result.pixel(2, 5), qRgb(0, 0, 0));
    EXPECT_EQ(result.pixel(17, 5), qRgb(255, 255, 255));
    EXPECT_EQ(result.pixel(0, 9), qRgb(255, 0, 0));
}

TEST(ImageTransformTest, PositiveAnglesTurnCounterClockwise)
{
    QImage square(10, 10, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::white);
    square.setPixel(0, 0, qRgb(255, 0, 0));
    // Mirrored, the mark is top right; a quarter turn counter-clockwise brings it top left.
    const QImage result = ImageTransform::transformMirrorWithRotateDeg(square, 90);
    EXPECT_EQ(result.pixel(0, 0), qRgb(255, 0, 0));
}

TEST(ImageTransformTest, AnImageWithoutAreaGivesNothing)
{
    EXPECT_TRUE(ImageTransform::transformMirrorWithRotateDeg(QImage(), 0).isNull());
    EXPECT_TRUE(
        ImageTransform::transformMirrorWithRotateDeg(QImage(0, 10, QImage::Format_ARGB32), 0)
            .isNull());
    EXPECT_TRUE(
        ImageTransform::transformMirrorWithRotateDeg(QImage(10, 0, QImage::Format_ARGB32), 180)
            .isNull());
}

TEST(PRProgressHUDTest, ShowsOneOverlayAtATime)
{
    QWidget view;
    view.resize(200, 100);
    view.show();
    PRProgressHUD::show(QStringLiteral("first"), &view, 2);
    const QPointer<ToastView> first = PRProgressHUD::shareinstance().hud();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first->mode(), ToastView::Mode::DeterminateHorizontalBar);

    PRProgressHUD::show(QStringLiteral("second"), &view, 3);
    const QPointer<ToastView> second = PRProgressHUD::shareinstance().hud();
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(second->labelText(), QStringLiteral("second"));
    EXPECT_EQ(second->mode(), ToastView::Mode::Indeterminate) << "mode 3 is not taken";
    EXPECT_TRUE(TestSupport::waitUntil([&] { return first.isNull(); }, 3s))
        << "the first one is hidden";

    PRProgressHUD::hide();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return second.isNull(); }, 3s));
}

TEST(PRProgressHUDTest, MessageIsTextOnlyAndHidesItself)
{
    QWidget view;
    view.resize(200, 100);
    view.show();
    PRProgressHUD::showMessage(QStringLiteral("done"), &view);
    const QPointer<ToastView> hud = PRProgressHUD::shareinstance().hud();
    ASSERT_FALSE(hud.isNull());
    EXPECT_EQ(hud->mode(), ToastView::Mode::Text);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return hud.isNull(); }, 6s));
}

TEST(ToastViewTest, CompletionRunsOnceWhenHidden)
{
    QWidget view;
    view.resize(200, 100);
    view.show();
    int completions = 0;
    auto *toast = new ToastView(&view);
    toast->setCompletionBlock([&completions] { ++completions; });
    toast->showAnimated(false);
    const QPointer<ToastView> watched = toast;
    toast->hideAnimated(false);
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(toast->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watched.isNull()) << "leaves the view";
    EXPECT_EQ(completions, 1);
}

TEST(PRAlertViewTest, SheetAnswersWithTheButtonPressed)
{
    QWidget window;
    window.resize(300, 200);
    window.show();
    int response = 0;
    PRAlertView::alertSheetFirstBtnTitle(QStringLiteral("OK"), QStringLiteral("Cancel"),
                                         QStringLiteral("Message"), QStringLiteral("Details"),
                                         &window, [&response](int answer) { response = answer; });
    auto *alert = window.findChild<QMessageBox *>();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->icon(), QMessageBox::Warning);
    EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
    EXPECT_EQ(alert->text(), QStringLiteral("Message"));
    EXPECT_EQ(alert->informativeText(), QStringLiteral("Details"));
    ASSERT_EQ(alert->buttons().size(), 2);
    alert->buttons().at(1)->click();
    EXPECT_EQ(response, PRAlertView::kSecondButtonReturn);
}

TEST(PRAlertViewTest, ModalAlertReturnsOnceAnswered)
{
    QTimer::singleShot(50ms, [] {
        if (auto *alert = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            alert->buttons().first()->click();
    });
    // Bounded: a second press, should the first one miss the alert, ends it too.
    QTimer::singleShot(3s, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    PRAlertView::alertModalFirstBtnTitle(QStringLiteral("OK"), QStringLiteral("Cancel"),
                                         QStringLiteral("Message"), QStringLiteral("Details"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(PopBtnViewTest, PickingAnItemSelectsItAndCallsTheAction)
{
    QList<int> picked;
    PopBtnView view([&picked](int index) { picked << index; });
    view.resize(120, 24);
    view.show();
    view.addItems({QStringLiteral("A4"), QStringLiteral("A3"), QStringLiteral("Letter")});
    EXPECT_EQ(view.numberOfItems(), 3);
    EXPECT_EQ(view.popButton()->text(), QStringLiteral("A4"));
    EXPECT_EQ(view.popButton()->geometry(), view.rect()) << "fills the view";

    view.popButton()->menu()->actions().at(2)->trigger();
    EXPECT_EQ(picked, QList<int>{2});
    EXPECT_EQ(view.indexOfSelectedItem(), 2);

    view.selectItemAtIndex(1);
    EXPECT_EQ(view.indexOfSelectedItem(), 1);
    EXPECT_EQ(picked, QList<int>{2}) << "selecting in code calls no action";
}

} // namespace
