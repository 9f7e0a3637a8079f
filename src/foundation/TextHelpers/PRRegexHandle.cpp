#include "PRRegexHandle.h"

#include "IcuText.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <memory>

QString PRRegexHandle::searchFormatWithSearchStr(const QString &searchStr, const QString &regExpStr,
                                                 const QString &replacement)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    const std::unique_ptr<icu::RegexPattern> pattern(icu::RegexPattern::compile(
        IcuText::toIcu(regExpStr), UREGEX_CASE_INSENSITIVE, parseError, status));
    if (U_FAILURE(status))
        return QString();
    const icu::UnicodeString input = IcuText::toIcu(searchStr);
    const std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(input, status));
    if (U_FAILURE(status))
        return QString();
    const icu::UnicodeString replaced = matcher->replaceAll(IcuText::toIcu(replacement), status);
    if (U_FAILURE(status))
        return QString();
    // The empty result must stay "" rather than null.
    return replaced.isEmpty() ? QStringLiteral("") : IcuText::fromIcu(replaced);
}
