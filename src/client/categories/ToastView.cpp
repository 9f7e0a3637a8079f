#include "ToastView.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QTimer>

namespace {

constexpr int kMargin = 20;
constexpr int kPadding = 14;
constexpr int kSpacing = 8;
constexpr qreal kCornerRadius = 8;
constexpr int kIndicatorSize = 28;
constexpr int kIndicatorPen = 3;
constexpr int kBarWidth = 120;
constexpr int kBarHeight = 8;
constexpr int kFullCircle = 360;
constexpr int kArcSpan = 270;
constexpr int kSpinStep = 30;
constexpr std::chrono::milliseconds kSpinInterval{80};
// Qt angles count sixteenths of a degree.
constexpr int kQtAngleUnit = 16;
constexpr auto kOpacityProperty = "opacity";
const QColor kBezelColor(0, 0, 0, 204);

} // namespace

ToastView::ToastView(QWidget *view)
    : QWidget(view)
    , m_opacity(new QGraphicsOpacityEffect(this))
    , m_fade(new QPropertyAnimation(m_opacity, kOpacityProperty, this))
    , m_spinTimer(new QTimer(this))
    , m_hideTimer(new QTimer(this))
{
    setGraphicsEffect(m_opacity);
    m_fade->setDuration(int(kAnimationDuration.count()));
    connect(m_fade, &QPropertyAnimation::finished, this, [this] {
        if (m_hiding)
            finishHiding();
    });
    m_spinTimer->setInterval(kSpinInterval);
    connect(m_spinTimer, &QTimer::timeout, this, [this] {
        m_spinAngle = (m_spinAngle + kSpinStep) % kFullCircle;
        update();
    });
    m_hideTimer->setSingleShot(true);
    connect(m_hideTimer, &QTimer::timeout, this, [this] { hideAnimated(m_delayedHideAnimated); });

    QWidget::hide();
    if (view) {
        setGeometry(view->rect());
        view->installEventFilter(this);
    }
}

void ToastView::setMode(Mode mode)
{
    m_mode = mode;
    update();
}

void ToastView::setLabelText(const QString &text)
{
    m_labelText = text;
    update();
}

void ToastView::setProgress(float progress)
{
    m_progress = qBound(0.0f, progress, 1.0f);
    update();
}

void ToastView::setCompletionBlock(std::function<void()> completion)
{
    m_completion = std::move(completion);
}

void ToastView::showAnimated(bool animated)
{
    m_hiding = false;
    m_fade->stop();
    m_opacity->setOpacity(animated ? 0.0 : 1.0);
    raise();
    QWidget::show();
    if (m_mode == Mode::Indeterminate)
        m_spinTimer->start();
    if (animated) {
        m_fade->setStartValue(0.0);
        m_fade->setEndValue(1.0);
        m_fade->start();
    }
}

void ToastView::hideAnimated(bool animated)
{
    if (m_hiding)
        return;
    m_hiding = true;
    m_hideTimer->stop();
    m_fade->stop();
    if (!animated || !isVisible()) {
        finishHiding();
        return;
    }
    m_fade->setStartValue(m_opacity->opacity());
    m_fade->setEndValue(0.0);
    m_fade->start();
}

void ToastView::hideAnimated(bool animated, std::chrono::milliseconds delay)
{
    m_delayedHideAnimated = animated;
    m_hideTimer->start(delay);
}

void ToastView::finishHiding()
{
    m_spinTimer->stop();
    QWidget::hide();
    // Once only, and never again from a later call.
    const auto completion = std::exchange(m_completion, nullptr);
    if (completion)
        completion();
    deleteLater();
}

QRect ToastView::bezelRect() const
{
    const QFontMetrics metrics(font());
    const int available = qMax(0, width() - 2 * kMargin - 2 * kPadding);
    const QRect textBounds =
        m_labelText.isEmpty()
            ? QRect()
            : metrics.boundingRect(QRect(0, 0, available, height()),
                                   Qt::AlignCenter | Qt::TextWordWrap, m_labelText);
    QSize indicator;
    if (m_mode == Mode::Indeterminate)
        indicator = QSize(kIndicatorSize, kIndicatorSize);
    else if (m_mode == Mode::DeterminateHorizontalBar)
        indicator = QSize(qMin(kBarWidth, available), kBarHeight);
    const int gap = (!indicator.isEmpty() && !textBounds.isEmpty()) ? kSpacing : 0;
    const int contentWidth = qMax(indicator.width(), textBounds.width());
    const int contentHeight = indicator.height() + gap + textBounds.height();
    QRect bezel(0, 0, contentWidth + 2 * kPadding, contentHeight + 2 * kPadding);
    bezel.moveCenter(rect().center());
    return bezel;
}

bool ToastView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void ToastView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect bezel = bezelRect();
    QPainterPath plate;
    plate.addRoundedRect(QRectF(bezel), kCornerRadius, kCornerRadius);
    painter.fillPath(plate, kBezelColor);

    QRect content = bezel.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    if (m_mode == Mode::Indeterminate) {
        QRect ring(0, 0, kIndicatorSize, kIndicatorSize);
        ring.moveCenter(QPoint(content.center().x(), content.top() + kIndicatorSize / 2));
        painter.setPen(QPen(Qt::white, kIndicatorPen, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(ring.adjusted(kIndicatorPen, kIndicatorPen, -kIndicatorPen, -kIndicatorPen),
                        -m_spinAngle * kQtAngleUnit, kArcSpan * kQtAngleUnit);
        content.setTop(ring.bottom() + 1 + kSpacing);
    } else if (m_mode == Mode::DeterminateHorizontalBar) {
        QRect bar(0, 0, qMin(kBarWidth, content.width()), kBarHeight);
        bar.moveCenter(QPoint(content.center().x(), content.top() + kBarHeight / 2));
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(bar).adjusted(0.5, 0.5, -0.5, -0.5), kBarHeight / 2.0,
                                kBarHeight / 2.0);
        QRectF filled = QRectF(bar).adjusted(2, 2, -2, -2);
        filled.setWidth(filled.width() * m_progress);
        painter.setBrush(Qt::white);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(filled, filled.height() / 2, filled.height() / 2);
        content.setTop(bar.bottom() + 1 + kSpacing);
    }
    if (!m_labelText.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(content, Qt::AlignCenter | Qt::TextWordWrap, m_labelText);
    }
}
