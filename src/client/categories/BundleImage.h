#pragma once

// The client's own images by name ("logoicon", "background", "icon_right"), as they lie in the
// resource ":/images/<name>.png". Stateless; any thread once the application object exists.

#include <QImage>
#include <QString>

class BundleImage
{
public:
    // A null image when there is no image of that name.
    static QImage named(const QString &name);
    static QString resourcePath(const QString &name);
};
