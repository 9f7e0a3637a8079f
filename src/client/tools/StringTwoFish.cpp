#include "StringTwoFish.h"

#include "client/tools/CPWDCry.h"

#include <array>

namespace {

constexpr int DecipherBufferSize = 260;

} // namespace

QString StringTwoFish::twofish_cryptPWD(const QString &text)
{
    CPWDCry cipher;
    const QByteArray bytes = text.toUtf8();
    return QString::fromLatin1(cipher.CryptPWD(CPWDCry::DefaultFlag, bytes.constData()));
}

QString StringTwoFish::twofish_unCryptPWD(const QString &letters)
{
    CPWDCry cipher;
    std::array<char, DecipherBufferSize> buffer{};
    int capacity = DecipherBufferSize;
    const QByteArray letterBytes = letters.toLatin1();
    cipher.UnCryptPWD(letterBytes.constData(), buffer.data(), capacity);
    // The success flag is deliberately not consulted; an untouched capacity means nothing came.
    if (capacity == DecipherBufferSize)
        return {};
    return QString::fromUtf8(buffer.data(), capacity);
}
