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

constexpr int kRightCtrl = KEY_RIGHTCTRL; // the Fn key of the hotkey
constexpr int kLeftShift = KEY_LEFTSHIFT;

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
    void press(int code) { send(EV_KEY, quint16(code), 1); }
    void release(int code) { send(EV_KEY, quint16(code), 0); }
    // Fn then Shift, as the hotkey is pressed.
    void pressChord()
    {
        press(kRightCtrl);
        press(kLeftShift);
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
    std::unique_ptr<PipeKeyboard> plug(int id, const QString& name = QStringLiteral("Keyboard"), int vendor = 0x046d,
                                       int product = 0xc31c)
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

TEST_F(EvdevKeySourceTest, ChordsInEitherOrderIgnoringRepeatsAndOtherKeys)
{
    const std::vector<std::vector<std::pair<int, int>>> sequences = {
        // (key, value): Fn then Shift, released in either order.
        {{kRightCtrl, 1}, {kRightCtrl, 2}, {kLeftShift, 1}, {kLeftShift, 2}, {kLeftShift, 0}, {kRightCtrl, 0}},
        {{kLeftShift, 1}, {kRightCtrl, 1}, {KEY_A, 1}, {KEY_A, 0}, {kRightCtrl, 0}, {kLeftShift, 0}},
    };
    for (const auto& sequence : sequences) {
        SCOPED_TRACE(sequence.front().first);
        start();
        const auto board = plug(1, QStringLiteral("USB Keyboard"));
        for (const auto& [code, value] : sequence)
            board->send(EV_KEY, quint16(code), value);
        firedBecomes(kDownUp);
    }
    // Left Control is Control, not Fn: Ctrl+Shift is another chord.
    start();
    const auto board = plug(1);
    board->press(KEY_LEFTCTRL);
    board->press(kLeftShift);
    firedBecomes({});
}

TEST_F(EvdevKeySourceTest, OnlyTheSelectedKeyboardStartsDictation)
{
    start(QStringLiteral("1133_49948")); // 0x046d_0xc31c in decimal
    const auto other = plug(1, QStringLiteral("Other Keyboard"), 0x413c, 0x2113);
    const auto chosen = plug(2, QStringLiteral("Chosen Keyboard"));
    stack->keyboards->refreshKeyboards();
    other->pressChord();
    firedBecomes({});
    other->release(kLeftShift);
    other->release(kRightCtrl);
    chosen->pressChord();
    firedBecomes({QStringLiteral("down")});
}

TEST_F(EvdevKeySourceTest, CapsLockLightBlocksTheChord)
{
    start();
    const auto board = plug(1);
    board->send(EV_LED, LED_CAPSL, 1);
    board->pressChord();
    firedBecomes({});
    board->release(kLeftShift);
    board->send(EV_LED, LED_CAPSL, 0);
    board->press(kLeftShift);
    firedBecomes({QStringLiteral("down")});
}

TEST_F(EvdevKeySourceTest, HotPlugAddsAKeyboardAndOneThatVanishesMidChordReleasesIt)
{
    start();
    EXPECT_FALSE(source.hasKeyboards());
    auto board = plug(7, QStringLiteral("Plugged"));
    EXPECT_TRUE(source.hasKeyboards());
    ASSERT_EQ(stack->monitor.keyboardDevices().size(), 1);
    board->pressChord();
    ASSERT_TRUE(firedBecomes({QStringLiteral("down")}));

    board->unplug();
    ASSERT_TRUE(firedBecomes(kDownUp)) << "the chord ends with the keyboard";
    ASSERT_TRUE(waitUntil([this] { return source.devices().isEmpty(); }, 2000));
    EXPECT_TRUE(stack->monitor.keyboardDevices().isEmpty());
    EXPECT_FALSE(source.hasKeyboards());

    // Plugged in again: a fresh keyboard, nothing held.
    board = plug(7, QStringLiteral("Plugged"));
    board->press(kLeftShift);
    board->press(kRightCtrl);
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
