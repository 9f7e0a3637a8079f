#include "TextHelpers/Md5.h"

#include <QCryptographicHash>

namespace {

constexpr int shortFormStart = 8;
constexpr int shortFormLength = 16;

QString lowerHexDigest(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

} // namespace

QString Md5::MD5ForUpper32Bate(const QString &text)
{
    return lowerHexDigest(text).toUpper();
}

QString Md5::MD5ForLower32Bate(const QString &text)
{
    return lowerHexDigest(text);
}

QString Md5::MD5ForUpper16Bate(const QString &text)
{
    return MD5ForUpper32Bate(text).mid(shortFormStart, shortFormLength);
}

QString Md5::MD5ForLower16Bate(const QString &text)
{
    return MD5ForLower32Bate(text).mid(shortFormStart, shortFormLength);
}
