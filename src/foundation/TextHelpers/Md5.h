#pragma once

// MD5 digests of text as hex. The digest covers the UTF-8 bytes before the first NUL character.

#include <QString>

class Md5
{
public:
    static QString MD5ForUpper32Bate(const QString &text);
    static QString MD5ForLower32Bate(const QString &text);
    // Characters 8 to 23 of the 32-digit form of the same case.
    static QString MD5ForUpper16Bate(const QString &text);
    static QString MD5ForLower16Bate(const QString &text);
};
