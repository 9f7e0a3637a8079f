#pragma once

// Base64 text of UTF-8 text, both ways.

#include <QString>

class Base64
{
public:
    // Standard alphabet, "=" padding, no line breaks; "" for "".
    static QString encode(const QString &text);
    // Characters outside the alphabet (blanks, line breaks) are skipped; null when the text does
    // not decode or the bytes are not valid UTF-8.
    static QString dencode(const QString &text);
};
