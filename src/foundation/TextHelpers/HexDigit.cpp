#include "HexDigit.h"

namespace {

constexpr int kFirstLetterValue = 10;

} // namespace

std::optional<int> HexDigit::value(QChar digit)
{
    const char16_t c = digit.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + kFirstLetterValue;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + kFirstLetterValue;
    return std::nullopt;
}
