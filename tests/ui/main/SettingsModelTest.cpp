#include "ui/common/SettingChoices.h"
#include "ui/main/SettingsModel.h"
#include "ui/support/UiHarness.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

TEST(SettingsRules, OnlyWebLinksOpenFromAnUpdateAnswer)
{
    const std::pair<const char*, bool> cases[] = {
        {"https://velnor.example/download", true}, {"HTTP://mirror.example/v.tar.gz", true},
        {"file:///etc/passwd", false},             {"javascript:alert(1)", false},
        {"ftp://mirror.example/v", false},          {"https://", false},
        {"", false},                                {"/relative/path", false},
        {"x-scheme-handler://run", false},
    };
    for (const auto& [url, openable] : cases)
        EXPECT_EQ(SettingsModel::isOpenableUpdateUrl(QUrl(QString::fromLatin1(url))), openable) << url;
}

TEST(SettingsRules, PickersKeepAStoredValueTheyDoNotOffer)
{
    EXPECT_EQ(SettingChoices::hotkeyOptions(QStringLiteral("fn_shift")).size(), 4);
    const QList<Choice> withFn = SettingChoices::hotkeyOptions(QStringLiteral("fn"));
    ASSERT_EQ(withFn.size(), 5);
    EXPECT_EQ(withFn.last(), (Choice{QStringLiteral("fn"), QStringLiteral("Fn")}));
    EXPECT_EQ(SettingChoices::hotkeyDisplayName(QStringLiteral("bogus")), QStringLiteral("Fn + Shift"));
}

class SettingsModelTest : public ::testing::Test, protected test::UiHarness {
protected:
    SettingsModel model{settings, launchAtLogin, services().settingsHooks};
};

TEST_F(SettingsModelTest, ChoicesAreStoredAsTheReadersExpectAndReachTheirListeners)
{
    // The indicator's position: ScreensTest.SettingsScreenWritesOnlyWhatTheUserChooses.
    // The duration snaps to the slider's steps of five, from 5 to 50.
    for (const auto& [given, snapped] : {std::pair{-3, 5}, {7, 5}, {8, 10}, {600, 50}, {23, 25}})
        EXPECT_EQ(model.setMaxDuration(given), snapped) << given;
    model.setOverOver(true);
    model.setSoundEffects(false);
    EXPECT_FALSE(model.load().evdevHotkey);
    model.setEvdevHotkey(true);
    model.setHistoryEnabled(false);
    const SettingsModel::Values values = model.load();
    EXPECT_TRUE(values.evdevHotkey);
    EXPECT_EQ(values.maxDurationSeconds, 25);
    EXPECT_TRUE(values.overOver);
    EXPECT_FALSE(values.soundEffects);
    EXPECT_FALSE(values.historyEnabled);
    // The keys the start-up and the history read.
    EXPECT_EQ(settings.string(QString::fromLatin1(SettingsKey::EvdevHotkey)), QStringLiteral("true"));
    EXPECT_EQ(settings.string(QString::fromLatin1(SettingsKey::MaxRecordingDuration)), QStringLiteral("25"));
    EXPECT_EQ(settings.string(QString::fromLatin1(SettingsKey::HistoryEnabled)), QStringLiteral("false"));

    const std::pair<int, int> retention[] = {{7, 7}, {0, 1}, {-4, 1}, {99999, SettingsModel::kMaxRetentionDays}};
    for (const auto& [given, stored] : retention) {
        EXPECT_EQ(model.setHistoryRetentionDays(given), stored) << given;
        EXPECT_EQ(model.load().historyRetentionDays, stored) << given;
    }
}

} // namespace
} // namespace velnor
