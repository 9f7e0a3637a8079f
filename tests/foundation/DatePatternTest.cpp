#include "foundation/DatePattern.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

TEST(DatePattern, ParsesADayAsMidnightInTheGivenZone)
{
    const QDateTime parsed = DatePattern::parse("YYYY.MM.dd", "2024.03.01", "GMT+0800");
    EXPECT_EQ(parsed.toUTC(), QDateTime(QDate(2024, 2, 29), QTime(16, 0), QTimeZone::utc()));
    EXPECT_EQ(DatePattern::format("YYYY.MM.dd", parsed, "GMT+0800"), "2024.03.01");
}

TEST(DatePattern, TextThatIsNotWhollyTheDateGivesNothing)
{
    for (const char *text : {"2024.03.05 1", "notes", "", "2024-03-05", "2024.02.30", "2024.13.01"})
        EXPECT_FALSE(DatePattern::parse("YYYY.MM.dd", QLatin1String(text), "GMT+0800").isValid())
            << text;
}

TEST(DatePattern, CalendarAndWeekBasedYearDifferAroundNewYear)
{
    const QDateTime instant(QDate(2024, 12, 30), QTime(12, 0), QTimeZone::utc());
    EXPECT_EQ(DatePattern::format("yyyy.MM.dd", instant, "UTC"), "2024.12.30");
    EXPECT_EQ(DatePattern::format("YYYY.MM.dd", instant, "UTC"), "2025.12.30");
}

} // namespace
