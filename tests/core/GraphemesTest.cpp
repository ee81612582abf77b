#include "core/Graphemes.h"

#include <gtest/gtest.h>

using namespace velnor;

TEST(Graphemes, CountsWhatTheUserSeesAsCharacters)
{
    EXPECT_EQ(graphemeCount(QString()), 0);
    EXPECT_EQ(graphemeCount(QStringLiteral("abc")), 3);
    EXPECT_EQ(graphemeCount(QStringLiteral("你好")), 2);
    EXPECT_EQ(graphemeCount(QStringLiteral("e\u0301")), 1) << "letter + combining accent";
    EXPECT_EQ(graphemeCount(QStringLiteral("👍🏽")), 1) << "emoji + skin tone";
    EXPECT_EQ(graphemeCount(QStringLiteral("👨‍👩‍👧")), 1) << "family joined by ZWJ";
    EXPECT_EQ(graphemeCount(QStringLiteral("🇨🇳🇯🇵")), 2) << "two flags";
}

TEST(Graphemes, FirstNeverSplitsACluster)
{
    EXPECT_EQ(firstGraphemes(QStringLiteral("a👍🏽b"), 2), QStringLiteral("a👍🏽"));
    EXPECT_EQ(firstGraphemes(QStringLiteral("e\u0301x"), 1), QStringLiteral("e\u0301"));
    EXPECT_EQ(firstGraphemes(QStringLiteral("abc"), 10), QStringLiteral("abc"));
    EXPECT_EQ(firstGraphemes(QStringLiteral("abc"), 0), QString());
    EXPECT_EQ(firstGraphemes(QStringLiteral("abc"), -3), QString());
}
