#include "text/TextAdjuster.h"
#include "text/TranscriptRules.h"
#include "text/VersionComparator.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

std::string adjusted(const QList<HotWord>& words, const char* text)
{
    return TextAdjuster(words).adjust(QString::fromUtf8(text)).toStdString();
}

TEST(TextAdjuster, HotWordsReplaceMatchingWordsWithTheirSpelling)
{
    const QList<HotWord> words{{QStringLiteral("Velnor"), 5}, {QStringLiteral("QtCreator"), 5}};
    EXPECT_EQ(adjusted(words, "open velnor and VELNOR, then qtcreator"), "open Velnor and Velnor, then QtCreator");
    EXPECT_EQ(adjusted(words, "velnors velnor2 avelnor"), "velnors velnor2 avelnor") << "never inside a word";
    EXPECT_EQ(adjusted({}, "  no   hot\twords \n here "), "no hot words here");
}

TEST(TextAdjuster, MultiWordHotWordsAndTheLongestMatch)
{
    const QList<HotWord> words{{QStringLiteral("New York"), 5}, {QStringLiteral("New York City"), 5},
                               {QStringLiteral("C++"), 3}};
    EXPECT_EQ(adjusted(words, "from new   york city to new york"), "from New York City to New York");
    EXPECT_EQ(adjusted(words, "i write c++ daily"), "i write C++ daily") << "pattern characters are literal";
    EXPECT_EQ(adjusted(words, "newyork"), "newyork");
}

TEST(TextAdjuster, HanHotWordsMatchInsideUnspacedText)
{
    const QList<HotWord> words{{QStringLiteral("语音输入"), 5}, {QStringLiteral("Velnor"), 5}};
    EXPECT_EQ(adjusted(words, "我喜欢语音输入法和velnor"), "我喜欢语音输入法和Velnor");
}

TEST(TranscriptRules, OverOverEndingIsCutAndReported)
{
    const auto cut = TranscriptRules::stripOverOver(QStringLiteral("send the report over over"));
    EXPECT_TRUE(cut.overOver);
    EXPECT_EQ(cut.text, QStringLiteral("send the report"));
    const auto punctuated = TranscriptRules::stripOverOver(QStringLiteral("Done. Over, over!"));
    EXPECT_TRUE(punctuated.overOver);
    EXPECT_EQ(punctuated.text, QStringLiteral("Done."));
    const auto alone = TranscriptRules::stripOverOver(QStringLiteral("OVER OVER"));
    EXPECT_TRUE(alone.overOver);
    EXPECT_TRUE(alone.text.isEmpty());

    for (const char* kept : {"it is over", "hangover over", "over over there", "game over overall"}) {
        const auto result = TranscriptRules::stripOverOver(QString::fromLatin1(kept));
        EXPECT_FALSE(result.overOver) << kept;
        EXPECT_EQ(result.text, QString::fromLatin1(kept));
    }
}

TEST(TranscriptRules, WordCount)
{
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
