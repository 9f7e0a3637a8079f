#pragma once

// Lenient UTF-8 decoding with byte-level repair. Stateless; callable from any thread.
//
// A byte that does not start a well-formed sequence of the table below is replaced by U+FFFD
// (EF BF BD) and the scan goes on with the next byte:
//   1 byte : 09, 0A, 0D, 20-7E
//   2 bytes: C2-DF 80-BF
//   3 bytes: E0 A0-BF 80-BF | E1-EC,EE,EF 80-BF 80-BF | ED 80-9F 80-BF
//   4 bytes: F0 90-BF 80-BF 80-BF | F1-F3 80-BF 80-BF 80-BF | F4 80-8F 80-BF 80-BF
// So other control bytes (NUL and 7F included) are replaced too.

#include <QByteArray>
#include <QString>

class Utf8
{
public:
    // The strict decoding when the data is valid UTF-8, otherwise the decoding of UTF8Data(data).
    static QString utf8String(const QByteArray &data);

    // A copy in which every byte that does not start a well-formed sequence becomes EF BF BD.
    static QByteArray UTF8Data(const QByteArray &data);

    // The strict decoding (every code point U+0000 to U+10FFFF except surrogates, shortest form
    // only), or a null text when the data is not valid UTF-8. Empty data gives "".
    static QString strictString(const QByteArray &data);
};
