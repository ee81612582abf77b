#include "core/Graphemes.h"

#include <gtest/gtest.h>

using namespace velnor;

// The boundaries are Qt's; what matters is that both helpers cut and count by them.
TEST(Graphemes, CountAndFirstNeverSplitACluster)
{
    EXPECT_EQ(graphemeCount(QStringLiteral("👨‍👩‍👧")), 1) << "family joined by ZWJ";
    EXPECT_EQ(graphemeCount(QStringLiteral("🇨🇳🇯🇵")), 2) << "two flags";
    EXPECT_EQ(firstGraphemes(QStringLiteral("a👍🏽b"), 2), QStringLiteral("a👍🏽"));
    EXPECT_EQ(firstGraphemes(QStringLiteral("e\u0301x"), 1), QStringLiteral("e\u0301"));
    EXPECT_EQ(firstGraphemes(QStringLiteral("abc"), 10), QStringLiteral("abc"));
    EXPECT_EQ(firstGraphemes(QStringLiteral("abc"), 0), QString());
    EXPECT_EQ(firstGraphemes(QStringLiteral("abc"), -3), QString());
}
