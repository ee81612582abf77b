#include "KeyboardTestRig.h"

#include <gtest/gtest.h>

namespace velnor::test {
namespace {

QStringList ids(const QList<KeyboardDevice>& keyboards)
{
    QStringList result;
    for (const KeyboardDevice& keyboard : keyboards)
        result << keyboard.id;
    return result;
}

TEST(KeyboardList, KeepsBuiltInFirstAndOnlyRealExternalKeyboardsFromTheRegistryOnlyWhenNothingUsableIsWatched)
{
    KeyboardTestRig rig({
        keyboard(2, 0, 0, QStringLiteral("Virtual core XTEST keyboard")),
        keyboard(3, 1, 1, QStringLiteral("AT Translated Set 2 keyboard"), true),
        keyboard(4, 1452, 0x225, QStringLiteral("Apple Internal Keyboard")),
        keyboard(5, 1133, 49948, QStringLiteral("Logitech USB Keyboard")),
        keyboard(6, 4660, 1, QStringLiteral("my VIRTUAL keys")),
        keyboard(7, 4660, 2, QStringLiteral("teamviewer input")),
        keyboard(8, 4660, 3, QStringLiteral("Karabiner DriverKit")),
        keyboard(9, 0xFFFF, 4, QStringLiteral("Odd Keyboard")),
        keyboard(10, 1133, 49948, QStringLiteral("Logitech USB Keyboard")),
        keyboard(11, 1452, 0x22C, QStringLiteral("Apple Keyboard")),
    });
    EXPECT_EQ(ids(rig.keyboards->availableKeyboards()),
              (QStringList{"built_in", "1133_49948", "1133_49948", "1452_556"}));
    EXPECT_EQ(rig.keyboards->availableKeyboards().front(), KeyboardDevice::builtIn());
    EXPECT_EQ(rig.keyboards->availableKeyboards().at(1).name, QStringLiteral("Logitech USB Keyboard"));

    // The registry only when nothing usable is watched.
    KeyboardTestRig xtestOnly({keyboard(2, 0, 0, QStringLiteral("Virtual core XTEST keyboard"))});
    xtestOnly.devices.registry = {keyboard(0, 1133, 1, QString()), keyboard(0, 0, 0, QStringLiteral("Power Button")),
                            keyboard(0, 1133, 1, QString())};
    xtestOnly.keyboards->refreshKeyboards();
    EXPECT_EQ(ids(xtestOnly.keyboards->availableKeyboards()), (QStringList{"built_in", "1133_1", "1133_1"}));
    EXPECT_EQ(xtestOnly.keyboards->availableKeyboards().at(1).name, QStringLiteral("未知键盘"));

    xtestOnly.devices.attach(keyboard(12, 1133, 49948));
    xtestOnly.keyboards->refreshKeyboards();
    EXPECT_EQ(ids(xtestOnly.keyboards->availableKeyboards()), (QStringList{"built_in", "1133_49948"}));
}

TEST(KeyboardList, DevicesComeAndGoWithTheirMessagesAndTheListFollows)
{
    KeyboardTestRig rig({keyboard(5, 1133, 49948, QStringLiteral("Logitech USB Keyboard"))});
    int listChanges = 0;
    QObject::connect(rig.keyboards.get(), &KeyboardManager::availableKeyboardsChanged, [&] { ++listChanges; });
    rig.devices.attach(keyboard(6, 1133, 2, QString()));
    rig.devices.detach(5);
    rig.devices.detach(5);
    EXPECT_EQ(rig.console, (QStringList{"Keyboard device added: Logitech USB Keyboard",
                                        "Keyboard device added: Unknown Device",
                                        "Keyboard device removed: Logitech USB Keyboard"}));
    ASSERT_EQ(rig.monitor.keyboardDevices().size(), 1);
    EXPECT_EQ(rig.monitor.keyboardDevices().front().deviceId, 6);
    // A keyboard plugged in later can be chosen without a restart.
    EXPECT_EQ(ids(rig.keyboards->availableKeyboards()), (QStringList{"built_in", "1133_2"}));
    EXPECT_EQ(listChanges, 2);

    // Without devices the monitor says so and keeps nothing.
    FakeKeyboardDevices none;
    none.available = false;
    QStringList lines;
    HIDEventMonitor monitor(none, [&](const QString& line) { lines << line; });
    EXPECT_EQ(lines, QStringList{"Failed to create HID manager"});
    EXPECT_FALSE(monitor.isStarted());
}

TEST(KeyboardSelection, PersistsIsReadBackAtStartAndMatchesVendorAndProduct)
{
    KeyboardTestRig rig;
    EXPECT_EQ(rig.keyboards->selectedKeyboardID(), QStringLiteral("built_in"));
    int changes = 0;
    QObject::connect(rig.keyboards.get(), &KeyboardManager::selectedKeyboardIDChanged, [&] { ++changes; });
    rig.keyboards->selectKeyboard(QStringLiteral("1133_49948"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(rig.settings.string(QStringLiteral("/velnor/keyboard/selected_device_id")), QStringLiteral("1133_49948"));
    KeyboardManager again(rig.settings, rig.monitor);
    EXPECT_EQ(again.selectedKeyboardID(), QStringLiteral("1133_49948"));

    // Which vendor and product count as the selected keyboard.
    struct Row {
        QString selected;
        int vendor;
        int product;
        bool selectedKeyboard;
    };
    const std::vector<Row> rows{
        {"built_in", 1452, 0x220, true},  {"built_in", 1452, 0x22B, true}, {"built_in", 1452, 0x22C, false},
        {"built_in", 1452, 0x21F, false}, {"built_in", 1453, 0x220, false}, {"1133_49948", 1133, 49948, true},
        {"1133_49948", 1133, 49949, false}, {"1133_49948", 11334, 9948, false},
    };
    for (const Row& row : rows) {
        KeyboardTestRig chosen({}, row.selected);
        EXPECT_EQ(chosen.keyboards->isSelectedKeyboard(row.vendor, row.product), row.selectedKeyboard)
            << row.selected.toStdString() << " " << row.vendor << ":" << row.product;
    }
}

} // namespace
} // namespace velnor::test
