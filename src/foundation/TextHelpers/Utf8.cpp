#include "TextHelpers/Utf8.h"

#include <QStringDecoder>

namespace {

const char replacementCharacter[] = "\xEF\xBF\xBD";

bool inRange(unsigned char byte, unsigned char low, unsigned char high)
{
    return byte >= low && byte <= high;
}

// Length of the well-formed sequence that starts at `at`, or 0.
qsizetype sequenceLength(const unsigned char *bytes, qsizetype at, qsizetype size)
{
    const qsizetype left = size - at;
    const unsigned char b0 = bytes[at];
    if (b0 == 0x09 || b0 == 0x0A || b0 == 0x0D || inRange(b0, 0x20, 0x7E))
        return 1;
    auto continuation = [&](qsizetype offset, unsigned char low = 0x80, unsigned char high = 0xBF) {
        return offset < left && inRange(bytes[at + offset], low, high);
    };
    if (inRange(b0, 0xC2, 0xDF))
        return continuation(1) ? 2 : 0;
    if (b0 == 0xE0)
        return continuation(1, 0xA0, 0xBF) && continuation(2) ? 3 : 0;
    if (inRange(b0, 0xE1, 0xEC) || b0 == 0xEE || b0 == 0xEF)
        return continuation(1) && continuation(2) ? 3 : 0;
    if (b0 == 0xED)
        return continuation(1, 0x80, 0x9F) && continuation(2) ? 3 : 0;
    if (b0 == 0xF0)
        return continuation(1, 0x90, 0xBF) && continuation(2) && continuation(3) ? 4 : 0;
    if (inRange(b0, 0xF1, 0xF3))
        return continuation(1) && continuation(2) && continuation(3) ? 4 : 0;
    if (b0 == 0xF4)
        return continuation(1, 0x80, 0x8F) && continuation(2) && continuation(3) ? 4 : 0;
    return 0;
}

} // namespace

QByteArray Utf8::UTF8Data(const QByteArray &data)
{
    QByteArray repaired;
    repaired.reserve(data.size());
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
    qsizetype at = 0;
    while (at < data.size()) {
        const qsizetype length = sequenceLength(bytes, at, data.size());
        if (length == 0) {
            repaired.append(replacementCharacter, 3);
            ++at;
        } else {
            repaired.append(data.constData() + at, length);
            at += length;
        }
    }
    return repaired;
}

QString Utf8::utf8String(const QByteArray &data)
{
    QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = strict.decode(data);
    if (!strict.hasError())
        return text.isNull() ? QStringLiteral("") : text;
    return QString::fromUtf8(UTF8Data(data));
}
