#pragma once

// Text operations over the password cipher: a text to its letter text and back, through the
// text's UTF-8 bytes and the flag -1. Stateless; any thread.

#include <QString>

class StringTwoFish
{
public:
    static QString twofish_cryptPWD(const QString &text);

    // The deciphered text up to its first zero byte, whether or not the marker carried the
    // flag -1. Null when the letters are refused, so that nothing was deciphered.
    static QString twofish_unCryptPWD(const QString &letters);
};
