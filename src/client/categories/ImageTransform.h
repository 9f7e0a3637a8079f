#pragma once

// Transformed copies of images: the arrow of the QR-login toggle is the same picture mirrored and
// turned. Stateless; any thread (QImage only).

#include <QImage>

class ImageTransform
{
public:
    // The picture mirrored left to right within its frame, then turned about its centre by the
    // angle (counter-clockwise for positive angles, as on screen). At 0 degrees this is the plain
    // mirror image, at 180 the picture mirrored top to bottom. Corners turned out of the frame are
    // cut. Same size as the source; a null image when the source has no width or height.
    static QImage transformMirrorWithRotateDeg(const QImage &image, float degrees);
};
