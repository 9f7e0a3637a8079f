#include "ResourceArt.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

constexpr int kLogoSize = 32;
// Twice the largest size the login window shows it at, so that it stays sharp on dense screens.
constexpr QSize kBackgroundSize{220, 360};
constexpr int kArrowSize = 16;

const QColor kInk(0x3F, 0x4E, 0x51);
const QColor kTeal(0x92, 0xAA, 0xAE);
const QColor kDeepTeal(0x4F, 0x6E, 0x74);
const QColor kPaper(0xFA, 0xFB, 0xFB);

QImage transparentImage(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A sheet of paper with a few lines of text on it.
void drawSheet(QPainter &painter, const QRectF &sheet, qreal lineWidth, int lines)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPaper);
    painter.drawRoundedRect(sheet, sheet.width() * 0.04, sheet.width() * 0.04);
    painter.setPen(QPen(kTeal, lineWidth, Qt::SolidLine, Qt::RoundCap));
    const qreal margin = sheet.width() * 0.14;
    const qreal step = (sheet.height() - 2 * margin) / lines;
    for (int i = 0; i < lines; ++i) {
        const qreal y = sheet.top() + margin + step * (i + 0.5);
        const qreal end = (i == lines - 1) ? sheet.center().x() : sheet.right() - margin;
        painter.drawLine(QPointF(sheet.left() + margin, y), QPointF(end, y));
    }
}

} // namespace

QImage ResourceArt::logoIcon()
{
    QImage image = transparentImage(QSize(kLogoSize, kLogoSize));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The sheet going in at the top, the printer's body, the sheet coming out below.
    painter.setPen(QPen(kInk, 1.5));
    painter.setBrush(kPaper);
    painter.drawRect(QRectF(9.5, 3.5, 13, 9));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kInk);
    painter.drawRoundedRect(QRectF(3, 11, 26, 12), 3, 3);
    painter.setBrush(kTeal);
    painter.drawEllipse(QPointF(24.5, 15), 1.6, 1.6);
    painter.setPen(QPen(kInk, 1.5));
    painter.setBrush(kPaper);
    painter.drawRect(QRectF(9.5, 19.5, 13, 9));
    painter.setPen(QPen(kTeal, 1.2));
    painter.drawLine(QPointF(12, 23), QPointF(20, 23));
    painter.drawLine(QPointF(12, 25.5), QPointF(17.5, 25.5));
    painter.end();
    return image;
}

QImage ResourceArt::background()
{
    QImage image(kBackgroundSize, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(QPointF(0, 0), QSizeF(kBackgroundSize));

    QLinearGradient wash(frame.topLeft(), frame.bottomRight());
    wash.setColorAt(0, kTeal.lighter(112));
    wash.setColorAt(1, kDeepTeal);
    painter.fillRect(frame, wash);

    QRadialGradient glow(QPointF(frame.width() * 0.3, frame.height() * 0.25), frame.width() * 0.9);
    glow.setColorAt(0, QColor(255, 255, 255, 70));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(frame, glow);

    // Two sheets, the back one turned a little, over a soft shadow.
    const QRectF sheet(frame.width() * 0.26, frame.height() * 0.30, frame.width() * 0.48,
                       frame.width() * 0.62);
    painter.save();
    painter.translate(sheet.center());
    painter.rotate(-9);
    painter.translate(-sheet.center());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawRoundedRect(sheet.translated(3, 5), 6, 6);
    drawSheet(painter, sheet.translated(-10, -6), 3, 5);
    painter.restore();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 45));
    painter.drawRoundedRect(sheet.translated(14, 18), 6, 6);
    drawSheet(painter, sheet.translated(10, 12), 3, 6);

    // An arrow from the sheets up towards the service.
    painter.setPen(QPen(QColor(255, 255, 255, 200), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF tip(frame.width() * 0.5, frame.height() * 0.10);
    const QPointF tail(frame.width() * 0.5, frame.height() * 0.24);
    painter.drawLine(tail, tip);
    painter.drawLine(tip, tip + QPointF(-12, 12));
    painter.drawLine(tip, tip + QPointF(12, 12));
    painter.end();
    return image;
}

QImage ResourceArt::iconRight()
{
    QImage image = transparentImage(QSize(kArrowSize, kArrowSize));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Symmetric about the middle row, so that turning it over top to bottom keeps it as it is.
    painter.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath chevron;
    chevron.moveTo(6, 3);
    chevron.lineTo(11, 8);
    chevron.lineTo(6, 13);
    painter.drawPath(chevron);
    painter.end();
    return image;
}

bool ResourceArt::writeAll(const QString &folder, QString *error)
{
    const QDir dir(folder);
    const QList<QPair<QString, QImage>> images = {
        {QStringLiteral("logoicon"), logoIcon()},
        {QStringLiteral("background"), background()},
        {QStringLiteral("icon_right"), iconRight()},
    };
    for (const auto &[name, image] : images) {
        const QString path = dir.filePath(name + QStringLiteral(".png"));
        if (!image.save(path, "PNG")) {
            *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}
