#include "KeyboardTestRig.h"

#include <gtest/gtest.h>

namespace velnor::test {
namespace {

namespace M = EventModifier;

const QStringList kDownUp{"down", "up"};

TEST(HotkeyManager, ModifierChordsFireExactlyTheExpectedEdges)
{
    struct Row {
        const char* name;
        HotkeyType type;
        const char* steps;
        QStringList expected;
    };
    const Row rows[] = {
        {"Fn then Shift", HotkeyType::fnShift, "fn shift -shift -fn", kDownUp},
        {"Shift then Fn, releasing Fn first", HotkeyType::fnShift, "shift fn -fn -shift", kDownUp},
        // Right Control is Fn on this platform.
        {"right Control alone is Fn", HotkeyType::fn, "rctrl -rctrl", kDownUp},
        {"right Command", HotkeyType::rightCommand, "rcmd -rcmd", kDownUp},
        {"left Command is not right Command", HotkeyType::rightCommand, "cmd -cmd", {}},
        {"right Option is not left Option", HotkeyType::leftOption, "ropt -ropt opt -opt", kDownUp},
        // Releasing an extra modifier lands exactly on the chord again: a
        // second key-down, and no key-up for the extra key.
        {"extra Control released gives a second key-down", HotkeyType::fnShift, "fn shift ctrl -ctrl -shift",
         {"down", "down", "up"}},
        {"Fn alone repeats its key-down around Shift", HotkeyType::fn, "fn shift -shift -fn", {"down", "down", "up"}},
        {"Caps Lock on blocks every chord", HotkeyType::fnShift, "caps fn shift -shift", {}},
        // Caps Lock switched on mid-chord must not leave the dictation running.
        {"Caps Lock during the chord still releases", HotkeyType::fnShift, "fn shift caps -shift", kDownUp},
        // Key-up belongs to key-down: Shift tapped while Ctrl+Alt are held
        // never pressed Ctrl+Shift, so it must not release it either.
        {"Shift tapped under Ctrl+Alt fires no key-up", HotkeyType::ctrlShift, "ctrl opt shift -shift -opt -ctrl", {}},
        // A right modifier merely held while another changes counts as its left side.
        {"held right Shift counts as Shift", HotkeyType::fnShift, "rshift fn -fn", kDownUp},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        KeyboardTestRig rig;
        rig.hotkey(row.type);
        rig.play(QString::fromLatin1(row.steps));
        EXPECT_EQ(rig.fired, row.expected);
    }
}

TEST(ShortcutRegistration, PausingRemovesResumingAppendsOnceAndUnregisterAllSilencesEvenFromInsideAHandler)
{
    KeyboardTestRig rig;
    const auto first = rig.hotkey(HotkeyType::fn, QStringLiteral("first-"));
    rig.hotkey(HotkeyType::fn, QStringLiteral("second-"));

    first->setPaused(true);
    rig.play("fn");
    EXPECT_EQ(rig.fired, QStringList{"second-down"});
    // A paused shortcut forgets its key-down: resuming mid-chord gives no stray key-up.
    first->setPaused(false);
    rig.play("-fn fn");
    EXPECT_EQ(rig.fired, (QStringList{"second-down", "second-up", "second-down", "first-down"}));
    first->setPaused(false);
    rig.manager->registerShortcut(first); // the same object registers once
    EXPECT_EQ(rig.manager->registeredShortcuts().size(), 2);

    // Unregistering all from inside a handler silences the old hotkey at once.
    KeyboardTestRig replaced;
    replaced.registrar->registerHotkey(HotkeyType::fn, [&replaced] {
        replaced.fired << QStringLiteral("fn-down");
        replaced.registrar->unregisterAll();
        replaced.hotkey(HotkeyType::rightCommand, QStringLiteral("cmd-"));
    });
    replaced.hotkey(HotkeyType::fn, QStringLiteral("late-"));

    replaced.play("fn -fn fn -fn rcmd");
    EXPECT_EQ(replaced.fired, (QStringList{"fn-down", "cmd-down"}));
    EXPECT_EQ(replaced.manager->registeredShortcuts().size(), 1);
}

TEST(HotkeyTypes, StoredValuesNameTheirChordAndAnythingElseMeansFnShift)
{
    const std::pair<const char*, HotkeyType> rows[] = {
        {"fn_shift", HotkeyType::fnShift},       {"ctrl_shift", HotkeyType::ctrlShift},
        {"fn", HotkeyType::fn},                  {"left_option", HotkeyType::leftOption},
        {"right_command", HotkeyType::rightCommand},
    };
    for (const auto& [stored, type] : rows) {
        EXPECT_EQ(hotkeyTypeFromSetting(QString::fromLatin1(stored)), type);
        EXPECT_EQ(settingValue(type), QLatin1String(stored));
    }
    for (const std::optional<QString>& other : {std::optional<QString>(QStringLiteral("Fn_Shift")), std::optional<QString>(),
                                                std::optional<QString>(QStringLiteral("caps_lock"))}) {
        EXPECT_EQ(hotkeyTypeFromSetting(other), HotkeyType::fnShift);
        EXPECT_EQ(hotkeyShortName(other), QStringLiteral("Fn + Shift"));
    }
    // Fn is right Control on this platform.
    EXPECT_EQ(hotkeyKeysWithoutFn(HotkeyType::fn), QStringLiteral("Right Ctrl"));
}

// MARK: - Keyboard filter

const KeyboardDeviceInfo kUsb = keyboard(11, 1133, 49948, QStringLiteral("Logitech USB Keyboard"));
const KeyboardDeviceInfo kUsbSibling = keyboard(12, 1133, 50000, QStringLiteral("Logitech K400"));
const KeyboardDeviceInfo kLaptop = keyboard(13, 1, 1, QStringLiteral("AT Translated Set 2 keyboard"), true);
const KeyboardDeviceInfo kXTest = keyboard(4, 0, 0, QStringLiteral("Virtual core XTEST keyboard"));

TEST(HotkeyManager, TheKeyboardFilterLetsThroughOnlyTheChosenKeyboard)
{
    struct Row {
        const char* name;
        QList<KeyboardDeviceInfo> attached;
        QString selected; // empty: never chosen
        int source;
        bool fires;
    };
    const Row rows[] = {
        // "built_in" on a desktop PC, where no internal keyboard exists.
        {"built-in on a desktop PC takes the USB keyboard", {kXTest, kUsb}, {}, kUsb.deviceId, true},
        {"built-in on a laptop takes the internal keyboard", {kXTest, kLaptop, kUsb}, {}, kLaptop.deviceId, true},
        {"built-in on a laptop drops the USB keyboard", {kXTest, kLaptop, kUsb}, {}, kUsb.deviceId, false},
        {"a selected id takes that keyboard", {kLaptop, kUsb, kUsbSibling}, "1133_49948", kUsb.deviceId, true},
        {"a selected id drops the laptop keyboard", {kLaptop, kUsb}, "1133_49948", kLaptop.deviceId, false},
        {"an unknown source is dropped while the selection is listed", {kXTest, kUsb}, "1133_49948", kXTest.deviceId, false},
        {"an unknown source passes once the selection is gone", {kXTest, kUsb}, "9_9", kXTest.deviceId, true},
        {"an unknown source passes with built-in", {kXTest, kLaptop}, "built_in", kXTest.deviceId, true},
        {"an unattached source id is unknown", {kUsb}, "built_in", 99, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        KeyboardTestRig rig(row.attached, row.selected);
        rig.hotkey(HotkeyType::fn);
        rig.flagsChanged(KeyCode::function, M::Function, row.source);
        EXPECT_EQ(rig.fired.size(), row.fires ? 1 : 0);
    }
}

TEST(KeyboardFilterState, LastKeyboardFollowsEveryKeyInputIncludingUnknownOnes)
{
    KeyboardTestRig rig({kXTest, kUsb}, QStringLiteral("1133_49948"));
    rig.hotkey(HotkeyType::fn);
    rig.flagsChanged(KeyCode::function, M::Function, kUsb.deviceId);
    EXPECT_EQ(rig.manager->lastKeyboardEvent(), (KeyboardIdentity{1133, 49948, false}));
    rig.flagsChanged(KeyCode::function, 0, kXTest.deviceId);
    EXPECT_EQ(rig.manager->lastKeyboardEvent(), std::nullopt);
    EXPECT_EQ(rig.fired, QStringList{"down"}) << "the XTest release came from an unselected source";
}

} // namespace
} // namespace velnor::test
