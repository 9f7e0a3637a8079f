#pragma once

// Byte conversions of the push-packet codec: integers to and from little-endian bytes, and hex
// texts. Class methods only, no state; any thread.
//
// Each conversion states its limits (byte counts, value ranges, text lengths). A call that breaks
// them is reported through the assertion handler and answered with an empty or zero result; no
// conversion ever reads beyond the bytes it is given.

#include <QByteArray>
#include <QString>

class YMSocketUtils
{
public:
    YMSocketUtils() = delete;

    // The data unchanged: the wire order is little-endian already, whatever the name promises.
    static QByteArray dataWithReverse(const QByteArray &data);

    static QByteArray byteFromUInt8(quint8 value);
    static QByteArray bytesFromUInt16(quint16 value);
    static QByteArray bytesFromUInt32(quint32 value);
    static QByteArray bytesFromUInt64(quint64 value);

    // Exactly 4, 2 and 1 bytes, least significant first.
    static quint32 uint32FromBytes(const QByteArray &bytes);
    static quint16 uint16FromBytes(const QByteArray &bytes);
    static quint8 uint8FromBytes(const QByteArray &bytes);

    // The lowest byteCount bytes of value, least significant first; value must fit in 32 bits and
    // byteCount must lie between 0 and 4. The flag of the second form changes nothing.
    static QByteArray bytesFromValue(qint64 value, int byteCount);
    static QByteArray bytesFromValue(qint64 value, int byteCount, bool reverse);

    // The little-endian value of at most 4 bytes. The flag of the second form changes nothing.
    static quint32 valueFromBytes(const QByteArray &bytes);
    static quint32 valueFromBytes(const QByteArray &bytes, bool reverse);

    // One byte for each pair of hex digits; the text must have an even, non-zero length.
    static QByteArray dataFromHexString(const QString &hexString);
    // Two lower-case hex digits for each byte; the data must not be empty.
    static QString hexStringFromData(const QByteArray &data);
    // Two upper-case hex digits for each character of an ASCII text.
    static QString asciiStringFromHexString(const QString &asciiString);
    // One character for each pair of hex digits; the text must have an even length.
    static QString hexStringFromASCIIString(const QString &hexString);
};
