#include "ImageTransform.h"

#include <QPainter>

QImage ImageTransform::transformMirrorWithRotateDeg(const QImage &image, float degrees)
{
    const qreal width = image.width();
    const qreal height = image.height();
    if (width == 0 || height == 0)
        return QImage();

    QImage result(image.size(), QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(image.devicePixelRatio());
    result.fill(Qt::transparent);

    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Each step applies before the ones already set: the source is first mirrored into the frame,
    // then turned about the frame's centre. Qt's y axis points down, so a counter-clockwise turn
    // is a negative angle here.
    const qreal logicalWidth = width / image.devicePixelRatio();
    const qreal logicalHeight = height / image.devicePixelRatio();
    painter.translate(logicalWidth / 2, logicalHeight / 2);
    painter.rotate(-qreal(degrees));
    painter.translate(-logicalWidth / 2, -logicalHeight / 2);
    painter.scale(-1, 1);
    painter.translate(-logicalWidth, 0);
    painter.drawImage(QRectF(0, 0, logicalWidth, logicalHeight), image);
    painter.end();
    return result;
}
