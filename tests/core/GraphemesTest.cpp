#include "core/Graphemes.h"

#include <gtest/gtest.h>

using namespace velnor;

TEST(Graphemes, CountAndCutWhatTheUserSeesAsCharactersNeverSplittingACluster)
{
    struct Case {
        QString text;
        int count;
        int take;
        QString first;
    };
    const Case cases[] = {
        {QString(), 0, 1, QString()},
        {QStringLiteral("abc"), 3, 10, QStringLiteral("abc")},
        {QStringLiteral("你好"), 2, 0, QString()},
        {QStringLiteral("e\u0301x"), 2, 1, QStringLiteral("e\u0301")},    // letter + combining accent
        {QStringLiteral("a👍🏽b"), 3, 2, QStringLiteral("a👍🏽")},              // emoji + skin tone
        {QStringLiteral("👨‍👩‍👧"), 1, -3, QString()},                         // family joined by ZWJ
        {QStringLiteral("🇨🇳🇯🇵"), 2, 1, QStringLiteral("🇨🇳")},              // two flags
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(graphemeCount(c.text), c.count);
        EXPECT_EQ(firstGraphemes(c.text, c.take), c.first);
    }
}
