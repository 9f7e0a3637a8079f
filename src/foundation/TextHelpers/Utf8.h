#pragma once

// Lenient UTF-8 decoding: bytes that do not start a well-formed sequence become U+FFFD.

#include <QByteArray>
#include <QString>

class Utf8
{
public:
    // Strict decoding, or the decoding of UTF8Data() when the data is not valid UTF-8.
    static QString utf8String(const QByteArray &data);
    // A copy in which every byte that does not start a well-formed sequence (tab, line feed and
    // carriage return are the only control bytes kept) is replaced by EF BF BD.
    static QByteArray UTF8Data(const QByteArray &data);
};
