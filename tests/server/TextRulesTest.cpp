#include "text/TextAdjuster.h"
#include "text/TranscriptRules.h"
#include "text/VersionComparator.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

TEST(TextAdjuster, HotWordsReplaceWholeMatchesWithTheirSpelling)
{
    const QList<HotWord> words{{QStringLiteral("Velnor"), 5},   {QStringLiteral("QtCreator"), 5},
                               {QStringLiteral("New York"), 5}, {QStringLiteral("New York City"), 5},
                               {QStringLiteral("C++"), 3},      {QStringLiteral("语音输入"), 5}};
    const std::pair<const char*, const char*> cases[] = {
        {"open velnor and VELNOR, then qtcreator", "open Velnor and Velnor, then QtCreator"},
        {"velnors velnor2 avelnor", "velnors velnor2 avelnor"}, // never inside a word
        {"  no   hot\twords \n here ", "no hot words here"},
        {"from new   york city to new york", "from New York City to New York"}, // the longest match
        {"i write c++ daily", "i write C++ daily"},                             // pattern characters are literal
        {"newyork", "newyork"},
        {"我喜欢语音输入法和velnor", "我喜欢语音输入法和Velnor"}, // Han words match inside unspaced text
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(TextAdjuster(words).adjust(QString::fromUtf8(text)).toStdString(), expected) << text;
}

TEST(TranscriptRules, OverOverEndingIsCutAndReportedAndWordsAreCounted)
{
    // What is kept of each text; none: no "over over" ending, the text stays whole.
    const std::pair<const char*, const char*> cases[] = {
        {"send the report over over", "send the report"}, {"Done. Over, over!", "Done."}, {"OVER OVER", ""},
        {"it is over", nullptr}, {"hangover over", nullptr}, {"over over there", nullptr}, {"game over overall", nullptr}};
    for (const auto& [text, kept] : cases) {
        const auto result = TranscriptRules::stripOverOver(QString::fromLatin1(text));
        EXPECT_EQ(result.overOver, kept != nullptr) << text;
        EXPECT_EQ(result.text, QString::fromLatin1(kept ? kept : text)) << text;
    }

    EXPECT_EQ(TranscriptRules::wordCount(QStringLiteral("hello, world  it's 2 o'clock")), 5);
    EXPECT_EQ(TranscriptRules::wordCount(QStringLiteral("你好世界")), 4);
    EXPECT_EQ(TranscriptRules::wordCount(QStringLiteral("用Velnor输入")), 4);
    EXPECT_EQ(TranscriptRules::wordCount(QStringLiteral(" ... ")), 0);
}

TEST(VersionComparator, NumericPartsCompare)
{
    EXPECT_EQ(VersionComparator::compare(QStringLiteral("1.10.0"), QStringLiteral("1.9.9")), 1);
    EXPECT_EQ(VersionComparator::compare(QStringLiteral("1.2"), QStringLiteral("1.2.0")), 0);
    EXPECT_EQ(VersionComparator::compare(QStringLiteral("v2.0.0-beta"), QStringLiteral("2.0")), 0);
    EXPECT_EQ(VersionComparator::compare(QStringLiteral("0.9"), QStringLiteral("1")), -1);
    EXPECT_FALSE(VersionComparator::compare(QStringLiteral("latest"), QStringLiteral("1.0")));
    EXPECT_FALSE(VersionComparator::parse(QString()));
    EXPECT_FALSE(VersionComparator::parse(QStringLiteral("1..2")));
    EXPECT_EQ(VersionComparator::parse(QStringLiteral(" 3.4.5 ")), (QList<int>{3, 4, 5}));
}

} // namespace
} // namespace velnor::server
