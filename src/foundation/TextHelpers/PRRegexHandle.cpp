#include "PRRegexHandle.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <memory>

namespace {

icu::UnicodeString toIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
}

QString fromIcu(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

} // namespace

QString PRRegexHandle::searchFormatWithSearchStr(const QString &searchStr, const QString &regExpStr,
                                                 const QString &replacement)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    const std::unique_ptr<icu::RegexPattern> pattern(
        icu::RegexPattern::compile(toIcu(regExpStr), UREGEX_CASE_INSENSITIVE, parseError, status));
    if (U_FAILURE(status))
        return QString();
    const icu::UnicodeString input = toIcu(searchStr);
    const std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(input, status));
    if (U_FAILURE(status))
        return QString();
    const icu::UnicodeString replaced = matcher->replaceAll(toIcu(replacement), status);
    if (U_FAILURE(status))
        return QString();
    // The empty result must stay "" rather than null.
    return replaced.isEmpty() ? QStringLiteral("") : fromIcu(replaced);
}
