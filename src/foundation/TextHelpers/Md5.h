#pragma once

// MD5 digests of texts as hex text. The digest covers the text's UTF-8 bytes up to the first NUL
// character, as a C string would. Stateless; callable from any thread.

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
