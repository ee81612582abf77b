#include "backend/AccountDisplay.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

using namespace AccountDisplay;

TEST(AccountDisplay, CountsInThousandsAndTenThousands)
{
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"},        {999, "999"},      {1000, "1.0k"},      {1500, "1.5k"},
        {9999, "10.0k"}, {10000, "1.0w"},   {25000, "2.5w"},     {99999, "10.0w"},
        {123456789, "12345.7w"},
    };
    for (const auto& [value, shown] : cases)
        EXPECT_EQ(formatCount(value), QString::fromLatin1(shown)) << value;
}

TEST(AccountDisplay, SubscriptionEndTriesEachPatternInOrderElseShowsTheText)
{
    const QTimeZone shanghai(8 * 3600);
    EXPECT_EQ(formatSubscriptionEnd(QStringLiteral("2026-03-31T20:00:00.123Z"), shanghai), QStringLiteral("2026-04-01"));
    EXPECT_EQ(formatSubscriptionEnd(QStringLiteral("2026-03-31T20:00:00+0000"), shanghai), QStringLiteral("2026-04-01"));
    EXPECT_EQ(formatSubscriptionEnd(QStringLiteral("2026-03-31T20:00:00+08:00"), shanghai), QStringLiteral("2026-03-31"));
    EXPECT_EQ(formatSubscriptionEnd(QStringLiteral("2026-03-31T23:59:59"), shanghai), QStringLiteral("2026-03-31"));
    EXPECT_EQ(formatSubscriptionEnd(QStringLiteral("2026-03-31 23:59:59"), shanghai), QStringLiteral("2026-03-31"));
    EXPECT_EQ(formatSubscriptionEnd(QStringLiteral("2026-03-31"), shanghai), QStringLiteral("2026-03-31"));
    const QTimeZone newYork(-5 * 3600);
    EXPECT_EQ(formatSubscriptionEnd(QStringLiteral("2026-01-01T02:00:00Z"), newYork), QStringLiteral("2025-12-31"));
    // Unparsable: shown as received.
    for (const char* text : {"next year", "2026-13-01", "2026/03/31", "", "2026-03-31T25:00:00Z"})
        EXPECT_EQ(formatSubscriptionEnd(QString::fromLatin1(text)), QString::fromLatin1(text));
}

} // namespace
} // namespace velnor
