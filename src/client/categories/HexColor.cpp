#include "HexColor.h"

namespace {

constexpr qsizetype kDigitsNeeded = 6;
constexpr qsizetype kPairLength = 2;
constexpr float kMaxComponent = 255.0f;
constexpr int kHexBase = 16;
constexpr auto kHexPrefix = "0X";
constexpr auto kHashPrefix = "#";

// The value of an upper-case hexadecimal digit; -1 for any other character.
int hexDigitValue(QChar c)
{
    constexpr int kFirstLetterValue = 10;
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + kFirstLetterValue;
    return -1;
}

// The value of the pair's leading hexadecimal digits; 0 when it begins with none.
unsigned leadingHexValue(QStringView pair)
{
    unsigned value = 0;
    for (const QChar c : pair) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            break;
        value = value * kHexBase + unsigned(digit);
    }
    return value;
}

float component(QStringView digits, qsizetype index)
{
    return float(leadingHexValue(digits.mid(index * kPairLength, kPairLength))) / kMaxComponent;
}

} // namespace

QColor HexColor::colorWithHexString(const QString &text, float alpha)
{
    QString digits = text.trimmed().toUpper();
    if (digits.size() < kDigitsNeeded)
        return QColor(Qt::transparent);
    if (digits.startsWith(QLatin1String(kHexPrefix)))
        digits = digits.mid(qsizetype(qstrlen(kHexPrefix)));
    if (digits.startsWith(QLatin1String(kHashPrefix)))
        digits = digits.mid(qsizetype(qstrlen(kHashPrefix)));
    if (digits.size() != kDigitsNeeded)
        return QColor(Qt::transparent);
    return QColor::fromRgbF(component(digits, 0), component(digits, 1), component(digits, 2),
                            alpha);
}

QColor HexColor::colorWithHexString(const QString &text)
{
    return colorWithHexString(text, 1.0f);
}
