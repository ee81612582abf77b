#include "config/LanguageConfigManager.h"
#include "config/LanguageManager.h"
#include "config/PlistReader.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace velnor;
using namespace velnor::test;

namespace {

struct LanguageLists : ::testing::Test {
    TempDir dir;
    ManualClock clock;
    LogCapture log{clock};

    QList<LanguageManager::VoiceType> loadVoiceTypes(const QByteArray& json)
    {
        LanguageManager manager(log.logger(), dir.writeFile(QStringLiteral("qasr.json"), json));
        manager.loadLanguages();
        return manager.languages();
    }

    QList<LanguageConfig> loadOutputLanguages(const QByteArray& dictBody)
    {
        const QByteArray plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + dictBody
            + "</dict></plist>";
        LanguageConfigManager manager(log.logger(), dir.writeFile(QStringLiteral("LanguageConfig.plist"), plist));
        manager.loadLanguageConfig();
        return manager.languages();
    }
};

QByteArray plistEntry(const QByteArray& extra, bool withIcon = true)
{
    return "<dict><key>code</key><string>en</string><key>title</key><string>English</string>"
        + (withIcon ? QByteArray("<key>icon</key><string>flag</string>") : QByteArray())
        + "<key>description</key><string>d</string><key>action</key><string>select</string>" + extra + "</dict>";
}

} // namespace

TEST_F(LanguageLists, VoiceTypesKeepFileOrderSkipIncompleteEntriesAndMalformedFilesLoadNothing)
{
    const auto types = loadVoiceTypes(R"({"eng_vice_types":[{"value":"16k_zh","name":"普通话"},{"value":"16k_en"},)"
                                      R"({"value":"8k_zh","name":"电话"}],"other":1})");
    EXPECT_EQ(types, (QList<LanguageManager::VoiceType>{{"16k_zh", "普通话"}, {"8k_zh", "电话"}}));
    EXPECT_TRUE(log.messages().contains(QStringLiteral("3个语音识别类型")));

    EXPECT_TRUE(loadVoiceTypes(R"([{"value":"16k_zh","name":"x"}])").isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("JSON解析失败")));
    EXPECT_TRUE(loadVoiceTypes(R"({"eng_vice_types":{"value":"x"}})").isEmpty());
    EXPECT_TRUE(loadVoiceTypes(R"({"eng_vice_types":["16k_zh"]})").isEmpty());
    EXPECT_EQ(log.messages().count(QStringLiteral("未找到eng_vice_types字段或格式错误")), 2);
    LanguageManager missing(log.logger(), dir.filePath(QStringLiteral("absent.json")));
    missing.loadLanguages();
    EXPECT_TRUE(log.contains(QStringLiteral("未能找到qasr.json配置文件")));
}

TEST_F(LanguageLists, OutputLanguagesRequireEveryStringKeyUnreadableFilesLeaveTheListEmptyAndTheShippedListsLoad)
{
    const auto languages = loadOutputLanguages("<key>languages</key><array>" + plistEntry("<key>separator_after</key><true/>")
                                               + plistEntry("") + plistEntry("", false)
                                               + plistEntry("<key>separator_after</key><string>yes</string>") + "</array>");
    ASSERT_EQ(languages.size(), 3) << "the entry without an icon is skipped";
    EXPECT_TRUE(languages.at(0).separatorAfter);
    EXPECT_FALSE(languages.at(1).separatorAfter);
    EXPECT_FALSE(languages.at(2).separatorAfter) << "a non-boolean separator counts as false";
    EXPECT_EQ(languages.at(0).code, QStringLiteral("en"));
    EXPECT_TRUE(log.contains(QStringLiteral("已加载 3 个语言配置")));

    EXPECT_TRUE(loadOutputLanguages("<key>languages</key><string>nope</string>").isEmpty());
    EXPECT_TRUE(loadOutputLanguages("<key>languages</key><array><dict><key>code</key>").isEmpty());
    EXPECT_EQ(log.messages().count(QStringLiteral("无法加载语言配置文件")), 2);

    // The shipped lists load.
    LanguageManager voiceTypes(log.logger(), QStringLiteral(VELNOR_SOURCE_DIR "/resources/qasr.json"));
    voiceTypes.loadLanguages();
    EXPECT_FALSE(voiceTypes.languages().isEmpty());
    LanguageConfigManager outputs(log.logger(), QStringLiteral(VELNOR_SOURCE_DIR "/resources/LanguageConfig.plist"));
    outputs.loadLanguageConfig();
    ASSERT_FALSE(outputs.languages().isEmpty());
    EXPECT_EQ(outputs.languages().first().code, QStringLiteral("default")) << "the reader's \"no language\" value";
}

TEST(PlistReader, ReadsEveryValueTypeAndRejectsBrokenDocuments)
{
    const auto value = readXmlPlist("<plist><dict><key>n</key><integer>-4</integer><key>r</key><real>2.5</real>"
                                    "<key>d</key><data>aGk=</data><key>f</key><false/><key>a</key><array><string>x</string></array>"
                                    "</dict></plist>");
    ASSERT_TRUE(value.has_value());
    const QVariantMap map = value->toMap();
    EXPECT_EQ(map.value(QStringLiteral("n")).toLongLong(), -4);
    EXPECT_DOUBLE_EQ(map.value(QStringLiteral("r")).toDouble(), 2.5);
    EXPECT_EQ(map.value(QStringLiteral("d")).toByteArray(), QByteArray("hi"));
    EXPECT_EQ(map.value(QStringLiteral("f")).typeId(), QMetaType::Bool);
    EXPECT_EQ(map.value(QStringLiteral("a")).toList().size(), 1);

    for (const char* broken : {"<plist><dict><string>no key</string></dict></plist>", "<plist><integer>x</integer></plist>",
                               "not xml", ""})
        EXPECT_FALSE(readXmlPlist(broken).has_value()) << broken;
}
