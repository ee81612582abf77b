#include "app/AppDelegate.h"
#include "app/AppStartup.h"
#include "app/PermissionCheck.h"
#include "app/ShortcutRegistration.h"
#include "config/DefaultSettings.h"
#include "config/IndicatorPositioner.h"
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/ManualScheduler.h"
#include "keyboard/KeyboardTestRig.h"
#include "platform/fake/FakeMicrophonePermission.h"
#include "platform/fake/FakeWorkspace.h"
#include "support/LogCapture.h"
#include "ui/tray/TrayMenuModel.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace velnor {
namespace {

using Status = MicrophonePermission::Status;

struct RecordingPositioner final : IndicatorPositioner {
    void setPosition(const QString& position) override { positions.append(position); }
    QStringList positions;
};

struct AppStartupTest : ::testing::Test {
    QString value(const char* key) const { return settings.stringOr(QString::fromLatin1(key), QStringLiteral("<none>")); }

    MemorySettingsStore settings;
    ManualScheduler scheduler;
    test::LogCapture log;
    test::KeyboardTestRig hotkeys;
    RecordingPositioner positioner;
    QStringList dictation;
    ShortcutRegistration shortcuts{settings, log.logger(), *hotkeys.registrar, [this] { dictation.append(QStringLiteral("down")); },
                                   [this] { dictation.append(QStringLiteral("up")); }};
    FakeAccessibilityTrust trust;
    FakeMicrophonePermission microphone;
    PermissionCheck permissions{trust, microphone, settings, log.logger()};
    DefaultSettingsRegistrar defaults{settings, scheduler, positioner};
    QStringList steps;
    int menuBuilds = 0;
    // A delayed start-up step, recorded by name.
    std::function<void()> step(const char* name, std::function<void()> work)
    {
        return [this, name, work] {
            steps.append(QString::fromLatin1(name));
            work();
        };
    }
    AppStartup startup{log.logger(), scheduler, defaults, QStringLiteral("/home/u/Documents"),
                       QStringLiteral("/home/u/.config/velnor/velnor.conf"),
                       AppStartup::DelayedSteps{step("permissions", [this] { permissions.requestPermissions(); }),
                                                step("shortcuts", [this] { shortcuts.registerShortcuts(); }),
                                                step("menu", [this] { ++menuBuilds; })}};
    AppDelegate delegate{settings, log.logger(), shortcuts, positioner,
                         AppDelegate::Hooks{[] {}, [] {}, [this] { ++menuBuilds; }, [] {}}};
};

TEST_F(AppStartupTest, LogsWhereFilesLiveAtOnceAndBringsUpHotkeyAndMenuOneSecondLater)
{
    startup.setup();
    EXPECT_EQ(log.messages().mid(0, 3),
              (QStringList{QStringLiteral("init app..."), QStringLiteral("Documents directory: /home/u/Documents"),
                           QStringLiteral("UserDefaults file: /home/u/.config/velnor/velnor.conf")}));
    EXPECT_EQ(value(SettingsKey::FloatingWindowPosition), QStringLiteral("bottom_center"))
        << "defaults registered at once";

    scheduler.advanceBy(seconds(0.999));
    EXPECT_TRUE(steps.isEmpty());
    EXPECT_TRUE(hotkeys.manager->registeredShortcuts().isEmpty());
    scheduler.advanceBy(seconds(0.001));
    EXPECT_EQ(steps, (QStringList{QStringLiteral("permissions"), QStringLiteral("shortcuts"), QStringLiteral("menu")}));
    ASSERT_EQ(hotkeys.manager->registeredShortcuts().size(), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("开始注册热键...")));
    EXPECT_TRUE(log.contains(QStringLiteral("使用热键类型: fn_shift")));
    EXPECT_TRUE(log.contains(QStringLiteral("热键注册完成")));

    hotkeys.play("shift fn -fn -shift");
    EXPECT_EQ(dictation, (QStringList{QStringLiteral("down"), QStringLiteral("up")}));

    // A second turn of time changes nothing: the sequence runs once.
    scheduler.advanceBy(seconds(10));
    EXPECT_EQ(steps.size(), 3);
}

// Both answers are stored and each missing one warned about; a microphone the
// sound server has not settled yet is not stored as refused, and the stored
// answer follows the live one from then on.
TEST_F(AppStartupTest, PermissionCheckStoresSettledAnswersWarnsForEachMissingOneAndFollowsTheLiveMicrophone)
{
    struct Case {
        bool trusted;
        Status microphoneStatus;
        QStringList warnings;
        bool info;
    };
    const QString noAccessibility = QStringLiteral("辅助功能权限未授予，部分功能可能无法正常工作");
    const QString noMicrophone = QStringLiteral("麦克风权限未授予，语音识别功能将无法使用");
    const QList<Case> cases{
        {true, Status::Authorized, {}, true},
        {false, Status::Authorized, {noAccessibility}, false},
        {false, Status::Denied, {noAccessibility, noMicrophone}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.trusted << " " << static_cast<int>(c.microphoneStatus));
        log.clear();
        trust.trusted = c.trusted;
        microphone.setStatus(c.microphoneStatus);
        permissions.requestPermissions();
        EXPECT_EQ(settings.boolean(QString::fromLatin1(SettingsKey::AccessibilityPermission)), c.trusted);
        EXPECT_EQ(settings.boolean(QString::fromLatin1(SettingsKey::MicrophonePermission)),
                  c.microphoneStatus == Status::Authorized);
        const QRegularExpression beforeMessage(QStringLiteral("^.*? - "));
        EXPECT_EQ(log.linesWith(QStringLiteral("[WARNING]")).replaceInStrings(beforeMessage, QString()), c.warnings);
        EXPECT_EQ(log.contains(QStringLiteral("所有系统权限已授予")), c.info);
        EXPECT_EQ(microphone.requestCount(), 0) << "the check never asks";
    }

    SCOPED_TRACE("unsettled");
    log.clear();
    const QString key = QString::fromLatin1(SettingsKey::MicrophonePermission);
    settings.setBool(key, true); // known from an earlier run
    microphone.setStatus(Status::NotDetermined); // the sound server has not answered yet
    permissions.requestPermissions();
    EXPECT_TRUE(settings.boolean(key)) << "nothing is known yet, so nothing is stored";
    EXPECT_TRUE(log.contains(QStringLiteral("麦克风状态未知: 没有可用的麦克风")));
    EXPECT_FALSE(log.contains(noMicrophone));

    microphone.setStatus(Status::Denied);
    EXPECT_FALSE(settings.boolean(key));
    microphone.setStatus(Status::Authorized); // plugged in later: no restart needed
    EXPECT_TRUE(settings.boolean(key));
}

// A menu item without a value logs an error and changes nothing; a choice is
// stored, logged and rebuilds the menu; a new hotkey replaces the registration.
TEST_F(AppStartupTest, MenuSelectionsStoreLogAndRebuild)
{
    struct Case {
        TrayAction action;
        const char* key;
        QString value;
        QString logLine;
    };
    const QList<Case> cases{
        {TrayAction::SelectLanguage, SettingsKey::OutputLanguage, {}, QStringLiteral("无法获取语言代码")},
        {TrayAction::SelectHotkey, SettingsKey::HotkeyStart, {}, QStringLiteral("无法获取热键代码")},
        {TrayAction::SelectFloatingWindowPosition, SettingsKey::FloatingWindowPosition, {}, QStringLiteral("无法获取悬浮窗位置代码")},
        {TrayAction::SelectLanguage, SettingsKey::OutputLanguage, QStringLiteral("en"), QStringLiteral("已选择语言: en")},
        {TrayAction::SelectFloatingWindowPosition, SettingsKey::FloatingWindowPosition, QStringLiteral("top_right"),
         QStringLiteral("已选择悬浮窗位置: top_right")},
        {TrayAction::SelectHotkey, SettingsKey::HotkeyStart, QStringLiteral("right_command"),
         QStringLiteral("已选择热键: right_command")},
    };
    shortcuts.registerShortcuts();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logLine.toStdString());
        const int builds = menuBuilds;
        TrayMenuItem item;
        item.action = c.action;
        if (!c.value.isEmpty())
            item.value = c.value;
        delegate.handle(item);
        EXPECT_EQ(value(c.key), c.value.isEmpty() ? QStringLiteral("<none>") : c.value);
        EXPECT_EQ(log.levelOf(c.logLine), c.value.isEmpty() ? QStringLiteral("ERROR") : QStringLiteral("INFO"));
        EXPECT_EQ(menuBuilds, builds + (c.value.isEmpty() ? 0 : 1));
        EXPECT_EQ(positioner.positions.isEmpty(), value(SettingsKey::FloatingWindowPosition) == QStringLiteral("<none>"));
    }
    EXPECT_EQ(positioner.positions, QStringList{QStringLiteral("top_right")});

    ASSERT_EQ(hotkeys.manager->registeredShortcuts().size(), 1) << "the old registration is gone";
    hotkeys.play("shift fn -fn -shift");
    EXPECT_TRUE(dictation.isEmpty()) << "the old hotkey no longer dictates";
    hotkeys.play("rcmd -rcmd");
    EXPECT_EQ(dictation, (QStringList{QStringLiteral("down"), QStringLiteral("up")}));
    EXPECT_TRUE(log.contains(QStringLiteral("使用热键类型: right_command")));
}

} // namespace
} // namespace velnor
