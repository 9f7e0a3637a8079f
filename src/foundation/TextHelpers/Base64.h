#pragma once

// Base64 text (standard alphabet, "=" padding, no line breaks) of UTF-8 texts. Stateless; callable
// from any thread.

#include <QString>

class Base64
{
public:
    // The Base64 text of the UTF-8 bytes; a null text stays null, "" gives "".
    static QString encode(const QString &text);

    // Decodes, skipping every character outside the alphabet (blanks, line breaks), and reads the
    // bytes as UTF-8. Null when the text does not decode or the bytes are not valid UTF-8.
    static QString dencode(const QString &text);
};
