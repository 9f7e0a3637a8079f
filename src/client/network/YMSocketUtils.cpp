#include "YMSocketUtils.h"

#include "client/platform/AssertionHandler.h"
#include "foundation/TextHelpers/HexDigit.h"

#include <QtEndian>

#include <limits>
#include <optional>

namespace {

constexpr int kMaxValueBytes = 4;
constexpr int kBitsPerByte = 8;
constexpr int kHexDigitsPerByte = 2;
constexpr char16_t kLastAscii = 0x7F;

template <typename T>
QByteArray littleEndianBytes(T value)
{
    QByteArray bytes(sizeof(T), Qt::Uninitialized);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// Reads a little-endian T from exactly sizeof(T) bytes; 0 when the count is wrong.
template <typename T>
T littleEndianValue(const QByteArray &bytes, std::source_location where)
{
    if (bytes.size() != qsizetype(sizeof(T))) {
        AssertionHandler::handleFailure("byte count does not match the integer width", where);
        return 0;
    }
    return qFromLittleEndian<T>(bytes.constData());
}

// The bytes of pairs of hex digits; nullopt on a length or digit that breaks the limits.
std::optional<QByteArray> bytesOfHexPairs(const QString &hexString)
{
    if (hexString.size() % kHexDigitsPerByte != 0)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(hexString.size() / kHexDigitsPerByte);
    for (qsizetype i = 0; i < hexString.size(); i += kHexDigitsPerByte) {
        const auto high = HexDigit::value(hexString[i]);
        const auto low = HexDigit::value(hexString[i + 1]);
        if (!high || !low)
            return std::nullopt;
        bytes.append(char(*high * HexDigit::kBase + *low));
    }
    return bytes;
}

} // namespace

QByteArray YMSocketUtils::dataWithReverse(const QByteArray &data)
{
    return data;
}

QByteArray YMSocketUtils::byteFromUInt8(quint8 value)
{
    return dataWithReverse(QByteArray(1, char(value)));
}

QByteArray YMSocketUtils::bytesFromUInt16(quint16 value)
{
    return dataWithReverse(littleEndianBytes(value));
}

QByteArray YMSocketUtils::bytesFromUInt32(quint32 value)
{
    return dataWithReverse(littleEndianBytes(value));
}

QByteArray YMSocketUtils::bytesFromUInt64(quint64 value)
{
    return dataWithReverse(littleEndianBytes(value));
}

quint32 YMSocketUtils::uint32FromBytes(const QByteArray &bytes)
{
    return littleEndianValue<quint32>(dataWithReverse(bytes), std::source_location::current());
}

quint16 YMSocketUtils::uint16FromBytes(const QByteArray &bytes)
{
    return littleEndianValue<quint16>(dataWithReverse(bytes), std::source_location::current());
}

quint8 YMSocketUtils::uint8FromBytes(const QByteArray &bytes)
{
    return littleEndianValue<quint8>(dataWithReverse(bytes), std::source_location::current());
}

QByteArray YMSocketUtils::bytesFromValue(qint64 value, int byteCount)
{
    if (byteCount < 0 || byteCount > kMaxValueBytes) {
        AssertionHandler::handleFailure("byteCount must lie between 0 and 4");
        return {};
    }
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<quint32>::max()) {
        AssertionHandler::handleFailure("value must fit in 32 bits");
        return {};
    }
    const auto bits = quint32(value);
    QByteArray bytes;
    for (int i = 0; i < byteCount; ++i)
        bytes.append(char((bits >> (i * kBitsPerByte)) & 0xFF));
    return dataWithReverse(bytes);
}

QByteArray YMSocketUtils::bytesFromValue(qint64 value, int byteCount, bool)
{
    return bytesFromValue(value, byteCount);
}

quint32 YMSocketUtils::valueFromBytes(const QByteArray &bytes)
{
    const QByteArray ordered = dataWithReverse(bytes);
    if (ordered.size() > kMaxValueBytes) {
        AssertionHandler::handleFailure("at most 4 bytes make a value");
        return 0;
    }
    quint32 value = 0;
    for (qsizetype i = 0; i < ordered.size(); ++i)
        value |= quint32(quint8(ordered[i])) << (i * kBitsPerByte);
    return value;
}

quint32 YMSocketUtils::valueFromBytes(const QByteArray &bytes, bool)
{
    return valueFromBytes(bytes);
}

QByteArray YMSocketUtils::dataFromHexString(const QString &hexString)
{
    const auto bytes = hexString.isEmpty() ? std::nullopt : bytesOfHexPairs(hexString);
    if (!bytes) {
        AssertionHandler::handleFailure("hex text must hold an even, non-zero number of digits");
        return {};
    }
    return *bytes;
}

QString YMSocketUtils::hexStringFromData(const QByteArray &data)
{
    if (data.isEmpty()) {
        AssertionHandler::handleFailure("data must not be empty");
        return {};
    }
    return QString::fromLatin1(data.toHex());
}

QString YMSocketUtils::asciiStringFromHexString(const QString &asciiString)
{
    QString hex;
    hex.reserve(asciiString.size() * kHexDigitsPerByte);
    for (const QChar c : asciiString) {
        if (c.unicode() > kLastAscii) {
            AssertionHandler::handleFailure("text must be ASCII");
            return {};
        }
        hex +=
            QStringLiteral("%1").arg(c.unicode(), kHexDigitsPerByte, HexDigit::kBase, QChar(u'0'));
    }
    return hex.toUpper();
}

QString YMSocketUtils::hexStringFromASCIIString(const QString &hexString)
{
    const auto bytes = bytesOfHexPairs(hexString);
    if (!bytes) {
        AssertionHandler::handleFailure("hex text must hold pairs of hex digits");
        return {};
    }
    return QString::fromLatin1(*bytes);
}
