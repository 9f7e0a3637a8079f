#include "Utf8.h"

#include <array>

namespace {

const QByteArray kReplacement = QByteArrayLiteral("\xEF\xBF\xBD");

struct ByteRange
{
    quint8 low;
    quint8 high;
    bool contains(quint8 byte) const { return byte >= low && byte <= high; }
};

constexpr ByteRange kContinuation{0x80, 0xBF};

// One row of the well-formed multi-byte sequences: the lead byte range and the second byte's range;
// later bytes are plain continuation bytes.
struct SequenceRule
{
    ByteRange lead;
    ByteRange second;
    int length;
};

constexpr std::array<SequenceRule, 8> kMultiByteRules{{
    {{0xC2, 0xDF}, kContinuation, 2},
    {{0xE0, 0xE0}, {0xA0, 0xBF}, 3},
    {{0xE1, 0xEC}, kContinuation, 3},
    {{0xEE, 0xEF}, kContinuation, 3},
    {{0xED, 0xED}, {0x80, 0x9F}, 3},
    {{0xF0, 0xF0}, {0x90, 0xBF}, 4},
    {{0xF1, 0xF3}, kContinuation, 4},
    {{0xF4, 0xF4}, {0x80, 0x8F}, 4},
}};

bool isKeptSingleByte(quint8 byte)
{
    return byte == '\t' || byte == '\n' || byte == '\r' || (byte >= 0x20 && byte <= 0x7E);
}

bool isAsciiByte(quint8 byte)
{
    return byte <= 0x7F;
}

// The length of the well-formed multi-byte sequence at the position, or 0.
int multiByteSequenceLength(const QByteArray &data, qsizetype at)
{
    const auto byteAt = [&](qsizetype i) { return quint8(data.at(i)); };
    for (const SequenceRule &rule : kMultiByteRules) {
        if (!rule.lead.contains(byteAt(at)))
            continue;
        if (at + rule.length > data.size() || !rule.second.contains(byteAt(at + 1)))
            return 0;
        for (int i = 2; i < rule.length; ++i) {
            if (!kContinuation.contains(byteAt(at + i)))
                return 0;
        }
        return rule.length;
    }
    return 0;
}

// The length of the sequence at the position under the given single-byte rule, or 0.
template <typename SingleByteRule>
int sequenceLength(const QByteArray &data, qsizetype at, SingleByteRule singleByte)
{
    if (singleByte(quint8(data.at(at))))
        return 1;
    return multiByteSequenceLength(data, at);
}

} // namespace

QString Utf8::utf8String(const QByteArray &data)
{
    const QString strict = strictString(data);
    if (!strict.isNull())
        return strict;
    return QString::fromUtf8(UTF8Data(data));
}

QByteArray Utf8::UTF8Data(const QByteArray &data)
{
    QByteArray repaired;
    repaired.reserve(data.size());
    qsizetype at = 0;
    while (at < data.size()) {
        const int length = sequenceLength(data, at, isKeptSingleByte);
        if (length == 0) {
            repaired.append(kReplacement);
            ++at;
        } else {
            repaired.append(data.constData() + at, length);
            at += length;
        }
    }
    return repaired;
}

QString Utf8::strictString(const QByteArray &data)
{
    for (qsizetype at = 0; at < data.size();) {
        const int length = sequenceLength(data, at, isAsciiByte);
        if (length == 0)
            return QString();
        at += length;
    }
    return data.isEmpty() ? QStringLiteral("") : QString::fromUtf8(data);
}
