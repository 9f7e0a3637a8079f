#include "DatePattern.h"

#include "TextHelpers/IcuText.h"

#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <memory>

namespace {

// A formatter of the pattern in the default locale, set to the zone; null when ICU refuses it.
std::unique_ptr<icu::SimpleDateFormat> formatter(const QString &pattern, const QString &zoneId)
{
    UErrorCode status = U_ZERO_ERROR;
    auto result = std::make_unique<icu::SimpleDateFormat>(IcuText::toIcu(pattern), status);
    if (U_FAILURE(status))
        return nullptr;
    if (!zoneId.isNull())
        result->adoptTimeZone(icu::TimeZone::createTimeZone(IcuText::toIcu(zoneId)));
    return result;
}

} // namespace

QString DatePattern::format(const QString &pattern, const QDateTime &instant,
                            const QString &timeZoneId)
{
    const std::unique_ptr<icu::SimpleDateFormat> dateFormat = formatter(pattern, timeZoneId);
    if (!dateFormat)
        return QString();
    icu::UnicodeString text;
    dateFormat->format(UDate(instant.toMSecsSinceEpoch()), text);
    return IcuText::fromIcu(text);
}

QDateTime DatePattern::parse(const QString &pattern, const QString &text, const QString &timeZoneId)
{
    const std::unique_ptr<icu::SimpleDateFormat> dateFormat = formatter(pattern, timeZoneId);
    if (!dateFormat)
        return QDateTime();
    // Strict, as date formatters are by default: literals must match and dates must exist.
    dateFormat->setLenient(false);
    const icu::UnicodeString input = IcuText::toIcu(text);
    icu::ParsePosition position(0);
    const UDate date = dateFormat->parse(input, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != input.length())
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(qint64(date));
}
