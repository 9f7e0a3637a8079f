#include "Md5.h"

#include <QCryptographicHash>

namespace {

constexpr qsizetype kShortFormStart = 8;
constexpr qsizetype kShortFormLength = 16;

QString hexDigest(const QString &text)
{
    // Only the bytes before the first NUL count, as for a C string.
    QByteArray bytes = text.toUtf8();
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

} // namespace

QString Md5::MD5ForUpper32Bate(const QString &text)
{
    return hexDigest(text).toUpper();
}

QString Md5::MD5ForLower32Bate(const QString &text)
{
    return hexDigest(text);
}

QString Md5::MD5ForUpper16Bate(const QString &text)
{
    return MD5ForUpper32Bate(text).mid(kShortFormStart, kShortFormLength);
}

QString Md5::MD5ForLower16Bate(const QString &text)
{
    return MD5ForLower32Bate(text).mid(kShortFormStart, kShortFormLength);
}
