#include "HexColor.h"

#include "foundation/TextHelpers/HexDigit.h"

namespace {

constexpr qsizetype kDigitsNeeded = 6;
constexpr qsizetype kPairLength = 2;
constexpr float kMaxComponent = 255.0f;
constexpr auto kHexPrefix = "0X";
constexpr auto kHashPrefix = "#";

// The value of the pair's leading hexadecimal digits; 0 when it begins with none.
unsigned leadingHexValue(QStringView pair)
{
    unsigned value = 0;
    for (const QChar c : pair) {
        const std::optional<int> digit = HexDigit::value(c);
        if (!digit)
            break;
        value = value * HexDigit::kBase + unsigned(*digit);
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
