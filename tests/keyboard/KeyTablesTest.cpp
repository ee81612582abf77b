#include "platform/linux/x11/SyntheticKeyEchoes.h"
#include "platform/linux/x11/UdevKeyboards.h"

#include <gtest/gtest.h>

namespace velnor::test {
namespace {

// Counting an ACPI button or a USB keyboard as internal would make "built_in"
// shut out the keyboard of a desktop PC.
TEST(InternalKeyboardBus, OnlyTheLaptopsOwnKeyboard)
{
    struct Row {
        const char* bus;
        const char* name;
        bool internal;
    };
    const std::vector<Row> rows{
        {"serio", "AT Translated Set 2 keyboard", true}, {"platform", "cros_ec keyboard", true},
        {"platform", "gpio-keys", false},                {"acpi", "Power Button", false},
        {"hid", "Logitech USB Keyboard", false},          {"usb", "Keyboard", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(x11::isInternalKeyboardBus(QString::fromLatin1(row.bus), QString::fromLatin1(row.name)), row.internal)
            << row.bus << " " << row.name;
}

TEST(SyntheticKeyEchoes, ConsumesOnlyOurOwnEventsInOrderForgetsLostOnesAndAStallKeepsOurKeysOurs)
{
    std::int64_t now = 0;
    x11::SyntheticKeyEchoes echoes([&now] { return now; });
    echoes.expect(37, true);
    echoes.expect(55, true);
    EXPECT_FALSE(echoes.consume(50, true)) << "someone else's XTest key";
    EXPECT_FALSE(echoes.consume(55, true)) << "out of posting order";
    EXPECT_TRUE(echoes.consume(37, true));
    EXPECT_FALSE(echoes.consume(55, false)) << "press and release differ";
    EXPECT_TRUE(echoes.consume(55, true));
    EXPECT_FALSE(echoes.consume(55, true)) << "each echo is used once";

    echoes.expect(55, false);
    echoes.listenerCaughtUp();
    now += x11::SyntheticKeyEchoes::kEchoLifetimeMs + 1;
    EXPECT_FALSE(echoes.consume(55, false)) << "a lost echo must not swallow a later real key";
    EXPECT_EQ(echoes.pending(), 0);

    // A stall between posting and reading keeps our keys ours.
    now = 0;
    x11::SyntheticKeyEchoes stalled([&now] { return now; });
    stalled.expect(37, true); // Ctrl of a paste
    stalled.expect(37, false);
    // The GUI thread, which also reads the echoes, is busy for 3 s.
    now += 3 * x11::SyntheticKeyEchoes::kEchoLifetimeMs / 2;
    stalled.expect(50, true); // another paste posted before anything was read
    EXPECT_TRUE(stalled.consume(37, true));
    EXPECT_TRUE(stalled.consume(37, false));
    stalled.listenerCaughtUp();
    now += x11::SyntheticKeyEchoes::kEchoLifetimeMs;
    EXPECT_TRUE(stalled.consume(50, true)) << "its lifetime counts from the read that caught up";
}

} // namespace
} // namespace velnor::test
