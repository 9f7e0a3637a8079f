#include "BundleImage.h"

namespace {

constexpr auto kResourcePathFormat = ":/images/%1.png";

} // namespace

QImage BundleImage::named(const QString &name)
{
    return QImage(resourcePath(name));
}

QString BundleImage::resourcePath(const QString &name)
{
    return QString::fromLatin1(kResourcePathFormat).arg(name);
}
