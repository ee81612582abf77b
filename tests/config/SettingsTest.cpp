#include "config/DefaultSettings.h"
#include "config/IndicatorPositioner.h"
#include "config/LaunchAtLoginSetting.h"
#include "config/MemorySettingsStore.h"
#include "config/QSettingsStore.h"
#include "config/SettingsKeys.h"
#include "config/SettingsReaders.h"
#include "core/ManualScheduler.h"
#include "platform/fake/FakeLoginItem.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace velnor;
using namespace velnor::test;

TEST(DefaultSettings, OnlyAbsentKeysGetTheirDefaultsAndTheIndicatorIsPlacedLater)
{
    struct RecordingPositioner final : IndicatorPositioner {
        void setPosition(const QString& position) override { positions << position; }
        QStringList positions;
    };
    MemorySettingsStore store;
    ManualScheduler scheduler;
    RecordingPositioner positioner;
    DefaultSettingsRegistrar(store, scheduler, positioner).registerDefaults();
    EXPECT_EQ(store.keys().size(), 10);
    EXPECT_EQ(store.string(SettingsKey::MaxRecordingDuration), QStringLiteral("30"));
    EXPECT_FALSE(store.contains(SettingsKey::HotkeyStart));
    scheduler.advanceBy(seconds(0.49));
    EXPECT_TRUE(positioner.positions.isEmpty());
    scheduler.advanceBy(seconds(0.01));
    EXPECT_EQ(positioner.positions, QStringList{QStringLiteral("bottom_center")});

    MemorySettingsStore filled;
    filled.setString(SettingsKey::FloatingWindowPosition, QStringLiteral("top_left"));
    filled.setString(SettingsKey::RecognitionMode, QString());
    DefaultSettingsRegistrar(filled, scheduler, positioner).registerDefaults();
    EXPECT_EQ(filled.string(SettingsKey::FloatingWindowPosition), QStringLiteral("top_left"));
    EXPECT_EQ(filled.string(SettingsKey::RecognitionMode), QString()) << "an empty value is a value";
    EXPECT_EQ(filled.string(SettingsKey::OverOverKeyType), QStringLiteral("enter"));
    scheduler.advanceBy(seconds(1));
    EXPECT_EQ(positioner.positions.size(), 1) << "the indicator only moves when its position was registered";
}

TEST(SettingsReaders, FallbacksForAbsentAndUnexpectedValues)
{
    MemorySettingsStore store;
    EXPECT_FALSE(settings::isRealtimeMode(store));
    EXPECT_EQ(settings::overOverKeyType(store), QStringLiteral("enter"));
    EXPECT_EQ(settings::currentQasrType(store), QStringLiteral("16k_zh"));

    const QList<std::pair<QString, int>> durations = {
        {QStringLiteral("45"), 45}, {QStringLiteral("+7"), 7},      {QStringLiteral("-3"), -3},
        {QStringLiteral("abc"), 50}, {QString(), 50},              {QStringLiteral("12.5"), 50},
        {QStringLiteral(" 5"), 50},  {QStringLiteral("99999999999"), 50}};
    for (const auto& [text, seconds] : durations) {
        store.setString(SettingsKey::MaxRecordingDuration, text);
        EXPECT_EQ(settings::maxRecordingDurationSeconds(store), seconds) << text.toStdString();
    }

    EXPECT_TRUE(settings::historyEnabled(store));
    const QList<std::pair<QString, int>> retention = {
        {QStringLiteral("7"), 7}, {QStringLiteral("0"), 30}, {QStringLiteral("-5"), 30}, {QStringLiteral("x"), 30}};
    for (const auto& [text, days] : retention) {
        store.setString(SettingsKey::HistoryRetentionDays, text);
        EXPECT_EQ(settings::historyRetentionDays(store), days) << text.toStdString();
    }
    store.setString(SettingsKey::HistoryEnabled, QStringLiteral("false"));
    EXPECT_FALSE(settings::historyEnabled(store));

    store.setString(SettingsKey::OverOverEnable, QStringLiteral("TRUE"));
    EXPECT_FALSE(settings::overOverEnabled(store));
    store.setString(SettingsKey::EnableSoundEffects, QStringLiteral("no"));
    EXPECT_TRUE(settings::soundEffectsEnabled(store));
    store.setString(SettingsKey::EnableSoundEffects, QStringLiteral("false"));
    EXPECT_FALSE(settings::soundEffectsEnabled(store));
    for (const QString& none : {QString(), QStringLiteral("default")}) {
        store.setString(SettingsKey::OutputLanguage, none);
        EXPECT_EQ(settings::outputLanguage(store), std::nullopt);
    }
    store.setString(SettingsKey::OutputLanguage, QStringLiteral("ja"));
    EXPECT_EQ(settings::outputLanguage(store), QStringLiteral("ja"));
}

TEST(QSettingsStore, ValuesSurviveANewInstanceTheFileIsAlwaysWholeFailedWritesAreReportedAndBooleansReadAsInTheMemoryStore)
{
    TempDir dir;
    const QString path = dir.filePath(QStringLiteral("velnor/velnor.conf"));
    {
        QSettingsStore store(path);
        store.setString(SettingsKey::OutputLanguage, QStringLiteral("zh-TW"));
        store.setBool(SettingsKey::OnboardingCompleted, true);
        store.setString(SettingsKey::UserJwt, QStringLiteral("tok"));
        store.remove(SettingsKey::UserJwt);
        EXPECT_TRUE(store.lastWriteSucceeded());
    }
    QSettingsStore reopened(path);
    EXPECT_EQ(reopened.string(SettingsKey::OutputLanguage), QStringLiteral("zh-TW"));
    EXPECT_TRUE(reopened.boolean(SettingsKey::OnboardingCompleted));
    EXPECT_FALSE(reopened.boolean(SettingsKey::NeedsRestartAfterPermissions));
    EXPECT_EQ(reopened.string(SettingsKey::UserJwt), std::nullopt);
    // Writes go through a temporary file and a rename: nothing is left beside it.
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("velnor"))).entryList(QDir::Files), QStringList{QStringLiteral("velnor.conf")});

    // An unwritable location is reported, not fatal.
    dir.writeFile(QStringLiteral("blocker"), "a file where a folder should be");
    QSettingsStore blocked(dir.filePath(QStringLiteral("blocker/velnor.conf")));
    blocked.setString(SettingsKey::OutputLanguage, QStringLiteral("en"));
    EXPECT_FALSE(blocked.lastWriteSucceeded());

    // Tests run on the memory store; what they see must be what the INI
    // store does in production.
    const QList<std::pair<QVariant, bool>> cases = {
        {true, true},          {false, false},         {QStringLiteral("true"), true},
        {QStringLiteral("TRUE"), true},  {QStringLiteral("1"), true},   {QStringLiteral("false"), false},
        {QStringLiteral("yes"), false},  {QStringLiteral("2"), false},  {QString(), false},
    };
    MemorySettingsStore memory;
    QSettingsStore ini(dir.filePath(QStringLiteral("velnor.conf")));
    for (const auto& [stored, expected] : cases) {
        memory.setValue(SettingsKey::OnboardingCompleted, stored);
        ini.setValue(SettingsKey::OnboardingCompleted, stored);
        const QSettingsStore iniAgain(ini.filePath());
        EXPECT_EQ(memory.boolean(SettingsKey::OnboardingCompleted), expected) << stored.toString().toStdString();
        EXPECT_EQ(iniAgain.boolean(SettingsKey::OnboardingCompleted), expected) << stored.toString().toStdString();
    }
}

TEST(LaunchAtLogin, FailureRestoresTheSwitchAndTheStoredValueSuccessRefreshesItAndNothingRunsOnceTheSettingIsGone)
{
    MemorySettingsStore store;
    ManualScheduler scheduler;
    FakeLoginItem item;
    LineCollector console;
    std::optional<LaunchAtLoginSetting> setting{std::in_place, store, item, scheduler, console.sink()};
    QList<bool> switchStates;
    const auto flip = [&](bool on, bool previous) { setting->setEnabled(on, previous, [&](bool state) { switchStates << state; }); };
    item.failure = QStringLiteral("permission denied");
    for (const auto& [on, storedBefore] : {std::pair<bool, std::optional<QString>>{true, std::nullopt},
                                           {true, QStringLiteral("false")}, {false, QStringLiteral("true")}}) {
        switchStates.clear();
        if (storedBefore)
            store.setString(SettingsKey::LaunchAtLogin, *storedBefore);
        else
            store.remove(SettingsKey::LaunchAtLogin);
        flip(on, !on);
        EXPECT_EQ(console.lines().last(), QStringLiteral("Failed to ") + (on ? QStringLiteral("enable") : QStringLiteral("disable"))
                                              + QStringLiteral(" launch at login: permission denied"));
        EXPECT_EQ(store.string(SettingsKey::LaunchAtLogin), storedBefore) << "the switch would reload in the wrong state";
        scheduler.runDue();
        EXPECT_EQ(switchStates, QList<bool>{!on}) << "the switch goes back to where it was";
    }

    // Success refreshes the switch from the actual state; nothing runs once the setting is gone.
    item.failure.reset();
    switchStates.clear();
    flip(true, false);
    EXPECT_EQ(store.string(SettingsKey::LaunchAtLogin), QStringLiteral("true"));
    EXPECT_EQ(console.lines().last(), QStringLiteral("Successfully enabled launch at login"));
    scheduler.advanceBy(seconds(0.5));
    EXPECT_EQ(switchStates, QList<bool>{true});

    item.failure = QStringLiteral("permission denied");
    flip(false, true);
    setting.reset();
    scheduler.advanceBy(seconds(1));
    EXPECT_EQ(switchStates, QList<bool>{true});
}
