// The evdev hotkey fed recorded input_event streams through pipes (no
// /dev/uinput here), wired into the hotkey as the app wires it: chords,
// repeats, the keyboard filter, Caps Lock, hot-plug and a keyboard that
// disappears in the middle of a chord.
#include "keyboard/KeyboardTestRig.h"
#include "platform/linux/evdev/EvdevDeviceWatcher.h"
#include "platform/linux/evdev/EvdevKeySource.h"
#include "support/EventLoopWait.h"

#include <gtest/gtest.h>

#include <linux/input.h>
#include <unistd.h>

namespace velnor::test {
namespace {

using evdev::EvdevKeySource;

// One keyboard as a pipe: the source reads its end, the test writes records.
struct PipeKeyboard {
    int writeEnd = -1;

    PipeKeyboard(EvdevKeySource& source, const KeyboardDeviceInfo& info)
    {
        int ends[2];
        if (pipe(ends) != 0)
            return;
        source.addDevice(ends[0], info);
        writeEnd = ends[1];
    }
    ~PipeKeyboard() { unplug(); }

    void send(quint16 type, quint16 code, qint32 value)
    {
        const input_event both[2] = {{{}, type, code, value}, {{}, EV_SYN, 0, 0}};
        ASSERT_EQ(write(writeEnd, both, sizeof both), ssize_t(sizeof both));
    }
    void unplug()
    {
        if (writeEnd >= 0)
            close(std::exchange(writeEnd, -1));
    }
};

struct EvdevKeySourceTest : ::testing::Test {
    EvdevKeySource source;
    std::unique_ptr<KeyboardStack> stack;

    void start(const QString& selected = {})
    {
        stack.reset(); // one user of the source at a time
        stack = std::make_unique<KeyboardStack>(source, source, selected);
        stack->hotkey(HotkeyType::fnShift);
    }
    std::unique_ptr<PipeKeyboard> plug(int id, const QString& name, int vendor = 0x046d, int product = 0xc31c)
    {
        return std::make_unique<PipeKeyboard>(source, keyboard(id, vendor, product, name));
    }
    // Lets the readers see what was written.
    bool firedBecomes(const QStringList& expected)
    {
        waitUntil([&] { return stack->fired == expected; }, 2000);
        runEventLoopFor(10);
        EXPECT_EQ(stack->fired, expected);
        return stack->fired == expected;
    }
};

const QStringList kDownUp{QStringLiteral("down"), QStringLiteral("up")};

// Plays a script of records such as "1+Fn 1*Fn 0-Shift": the index of the
// keyboard in `boards`, then press '+', repeat '*' or release '-' of Fn,
// Shift, Ctrl (left) or A; "+Caps" / "-Caps" is its Caps Lock light.
void play(const std::vector<PipeKeyboard*>& boards, const QString& script)
{
    const QHash<QString, int> codes{{QStringLiteral("Fn"), KEY_RIGHTCTRL}, {QStringLiteral("Shift"), KEY_LEFTSHIFT},
                                    {QStringLiteral("Ctrl"), KEY_LEFTCTRL}, {QStringLiteral("A"), KEY_A}};
    for (const QString& record : script.split(QLatin1Char(' '))) {
        PipeKeyboard& board = *boards.at(record.front().digitValue());
        const int value = QStringLiteral("-+*").indexOf(record[1]);
        const QString key = record.mid(2);
        if (key == QLatin1String("Caps"))
            board.send(EV_LED, LED_CAPSL, value);
        else
            board.send(EV_KEY, quint16(codes.value(key)), value);
    }
}

TEST_F(EvdevKeySourceTest, ChordsOfTheSelectedKeyboardIgnoringRepeatsOtherKeysAndCapsLockAndAcrossHotPlug)
{
    struct Case {
        const char* what;
        QString selected;
        const char* script;
        QStringList fired;
    };
    const QStringList down{QStringLiteral("down")};
    const Case cases[] = {
        // Either order is ShortcutManager's to prove; repeats and letters are read here.
        {"repeats and a letter between", {}, "1+Shift 1*Shift 1+Fn 1*Fn 1+A 1-A 1-Fn 1-Shift", kDownUp},
        {"left Control is Control, not Fn", {}, "1+Ctrl 1+Shift", {}},
        {"only the selected keyboard", QStringLiteral("1133_49948"), "0+Fn 0+Shift 0-Shift 0-Fn 1+Fn 1+Shift", down},
        {"the Caps Lock light blocks the chord", {}, "1+Caps 1+Fn 1+Shift 1-Shift 1-Caps 1+Shift", down},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start(c.selected);
        // The second is the one selectable as "1133_49948".
        const auto other = plug(1, QStringLiteral("Other Keyboard"), 0x413c, 0x2113);
        const auto chosen = plug(2, QStringLiteral("Chosen Keyboard"));
        stack->keyboards->refreshKeyboards();
        play({other.get(), chosen.get()}, QLatin1String(c.script));
        firedBecomes(c.fired);
    }

    // Hot-plug adds a keyboard; one that vanishes mid-chord releases it.
    ASSERT_TRUE(waitUntil([this] { return source.devices().isEmpty(); }, 2000));
    start();
    EXPECT_FALSE(source.hasKeyboards());
    auto board = plug(7, QStringLiteral("Plugged"));
    EXPECT_TRUE(source.hasKeyboards());
    ASSERT_EQ(stack->monitor.keyboardDevices().size(), 1);
    play({board.get()}, QStringLiteral("0+Fn 0+Shift"));
    ASSERT_TRUE(firedBecomes({QStringLiteral("down")}));

    board->unplug();
    ASSERT_TRUE(firedBecomes(kDownUp)) << "the chord ends with the keyboard";
    ASSERT_TRUE(waitUntil([this] { return source.devices().isEmpty(); }, 2000));
    EXPECT_TRUE(stack->monitor.keyboardDevices().isEmpty());
    EXPECT_FALSE(source.hasKeyboards());

    // Plugged in again: a fresh keyboard, nothing held.
    board = plug(7, QStringLiteral("Plugged"));
    play({board.get()}, QStringLiteral("0+Shift 0+Fn"));
    firedBecomes({QStringLiteral("down"), QStringLiteral("up"), QStringLiteral("down")});
}

TEST(EvdevDeviceWatcher, NamesNodesAndTellsHowToGetPermission)
{
    EXPECT_EQ(evdev::EvdevDeviceWatcher::deviceIdForNode(QStringLiteral("/dev/input/event0")), 1);
    EXPECT_EQ(evdev::EvdevDeviceWatcher::deviceIdForNode(QStringLiteral("/dev/input/event12")), 13);
    EXPECT_FALSE(evdev::EvdevDeviceWatcher::deviceIdForNode(QStringLiteral("/dev/input/mouse0")));
    EXPECT_FALSE(evdev::EvdevDeviceWatcher::deviceIdForNode(QStringLiteral("/dev/input/eventX")));
    EXPECT_TRUE(evdev::evdevPermissionHint(true, 3).isEmpty());
    EXPECT_TRUE(evdev::evdevPermissionHint(false, 2).contains(QStringLiteral("sudo usermod -aG input $USER")));
    EXPECT_FALSE(evdev::evdevPermissionHint(false, 0).contains(QStringLiteral("usermod")));
}

} // namespace
} // namespace velnor::test
