// The start-up choice of backends: the decision table from what a session
// offers, the one-line description, and the probe itself against a private
// session bus with a fake portal (versions, Fcitx5, no compositor).
#include "platform/fcitx5/FakeFcitx5Addon.h"
#include "platform/fake/FakeGlobalKeySource.h"
#include "platform/fake/FakeKeySynthesizer.h"
#include "platform/linux/session/BackendChoice.h"
#include "platform/linux/session/SelectableBackends.h"
#include "platform/linux/session/SessionProbe.h"
#include "platform/linux/session/WaylandGlobalsProbe.h"
#include "support/EventLoopWait.h"
#include "support/portal/FakePortal.h"

#include <gtest/gtest.h>

namespace velnor::test {
namespace {

using namespace velnor::session;

SessionFacts wayland(uint shortcuts, uint remoteDesktop, WaylandGlobals globals, bool fcitx5 = false)
{
    return {DisplayServer::Wayland, QStringLiteral("X"), shortcuts, remoteDesktop, globals, fcitx5};
}

constexpr WaylandGlobals kWlroots{true, true, true, true};
constexpr WaylandGlobals kKwin{false, true, false, false};
constexpr WaylandGlobals kNone{};

TEST(BackendChoiceTable, PicksEachBackendFromWhatTheSessionOffersAndDescribesItInOneLine)
{
    using enum HotkeySource;
    using enum PasteSource;
    using enum IndicatorKind;
    using enum FrontAppSource;
    struct Row {
        const char* what;
        SessionFacts facts;
        bool evdevOptIn;
        BackendChoice expected;
        const char* hotkeyLabel; // as the one-line description names it
    };
    const Row rows[] = {
        {"X11 ignores the portal and the opt-in", {DisplayServer::X11, {}, 1, 2, kWlroots, true}, true,
         {XInput, XTest, X11Window, Ewmh}, "X11"},
        {"portals without layer shell", wayland(1, 2, kNone), false,
         {GlobalShortcutsPortal, RemoteDesktopPortal, XWaylandWindow, AtspiActiveFrame}, "门户"},
        {"portals with layer shell", wayland(1, 2, kKwin), false,
         {GlobalShortcutsPortal, RemoteDesktopPortal, LayerShell, AtspiActiveFrame}, "门户"},
        {"the opt-in wins over the portal", wayland(1, 2, kKwin), true,
         {Evdev, RemoteDesktopPortal, LayerShell, AtspiActiveFrame}, "evdev"},
        {"wlroots protocols before the portal", wayland(1, 2, kWlroots), false,
         {GlobalShortcutsPortal, VirtualKeyboard, LayerShell, ForeignToplevel}, "门户"},
        {"no portal, input method only", wayland(0, 0, kWlroots, true), false,
         {InputMethodOnly, VirtualKeyboard, LayerShell, ForeignToplevel}, "输入法"},
        {"nothing at all", wayland(0, 0, kNone), false, {None, ClipboardOnly, XWaylandWindow, AtspiActiveFrame}, "无"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(chooseBackends(row.facts, row.evdevOptIn), row.expected);
        EXPECT_TRUE(describeSession(row.facts, row.expected).contains(QStringLiteral("热键: ") + QString::fromUtf8(row.hotkeyLabel)));
    }

    // The session in one line: its desktop in brackets, the input method when there is one.
    EXPECT_EQ(describeSession(rows[0].facts, rows[0].expected), QStringLiteral("会话: X11 · 热键: X11 · 输入: 输入法"));
    EXPECT_EQ(describeSession(rows[1].facts, rows[1].expected), QStringLiteral("会话: Wayland (X) · 热键: 门户 · 输入: 辅助功能"));
    EXPECT_EQ(describeFacts(rows[4].facts), QStringLiteral("portal GlobalShortcuts 1, RemoteDesktop 2; Wayland globals: "
                                                           "virtual-keyboard, layer-shell, foreign-toplevel, data-control; Fcitx5: no"));
}

TEST(WaylandGlobals, KnowsTheFourInterfacesByName)
{
    WaylandGlobals globals;
    for (const char* name : {"wl_seat", "zwlr_layer_shell_v1", "zwlr_data_control_manager_v1", "zwlr_layer_shell"})
        noteWaylandGlobal(globals, name);
    EXPECT_EQ(globals, (WaylandGlobals{false, true, false, true}));
    noteWaylandGlobal(globals, "zwp_virtual_keyboard_manager_v1");
    noteWaylandGlobal(globals, "zwlr_foreign_toplevel_manager_v1");
    EXPECT_EQ(globals, kWlroots);
}

TEST(SelectableBackends, SwitchingMovesTheRunningHotkeyToTheChosenSource)
{
    FakeGlobalKeySource x11;
    FakeGlobalKeySource portal;
    SelectableKeySource keys(x11);
    int events = 0;
    ASSERT_TRUE(keys.start([&events](const GlobalKeyEvent&) { ++events; }));
    keys.select(portal);
    EXPECT_FALSE(x11.isStarted()) << "the old source is stopped";
    EXPECT_FALSE(x11.emitEvent({}));
    EXPECT_TRUE(portal.emitEvent({}));
    EXPECT_EQ(events, 1);
    keys.stop();
    SelectableKeySource notStarted(x11);
    notStarted.select(portal);
    EXPECT_FALSE(portal.isStarted()) << "selecting does not start a stopped hotkey";

    FakeKeySynthesizer xtest;
    SelectableKeySynthesizer synthesizer(&xtest);
    EXPECT_EQ(synthesizer.isAvailable(), xtest.isAvailable());
    synthesizer.select(nullptr);
    EXPECT_FALSE(synthesizer.isAvailable());
    EXPECT_EQ(synthesizer.createEventSource(), nullptr) << "no path: the text stays on the clipboard";
}

TEST(SessionProbeTest, ReadsPortalVersionsAndFcitx5FromTheBusAndCountsWhatIsAbsentAsZero)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isUp());
    const auto probe = [&bus](SessionProbe::Environment environment) {
        SessionProbe prober(bus.connect(QStringLiteral("app")), std::move(environment), std::chrono::milliseconds(2000));
        std::optional<SessionFacts> facts;
        prober.run([&facts](const SessionFacts& found) { facts = found; });
        EXPECT_FALSE(facts) << "answers come later, on the event loop";
        EXPECT_TRUE(waitUntil([&facts] { return facts.has_value(); }, 5000));
        return facts.value_or(SessionFacts{});
    };
    SessionFacts facts = probe({{}, "x11", {}});
    EXPECT_EQ(facts.server, DisplayServer::X11);
    EXPECT_EQ(describeFacts(facts),
              QStringLiteral("portal GlobalShortcuts 0, RemoteDesktop 0; Wayland globals: none; Fcitx5: no"));

    FakePortal onlyRemoteDesktop(bus.connect(QStringLiteral("portal")), 0, 2);
    ASSERT_TRUE(onlyRemoteDesktop.start());
    facts = probe({{}, "wayland", {}});
    EXPECT_TRUE(describeFacts(facts).startsWith(QStringLiteral("portal GlobalShortcuts 0, RemoteDesktop 2;")));
    onlyRemoteDesktop.vanish();

    FakePortal portal(bus.connect(QStringLiteral("portal2")), 1, 2);
    ASSERT_TRUE(portal.start());
    ASSERT_TRUE(bus.connect(QStringLiteral("fcitx")).registerService(QStringLiteral("org.fcitx.Fcitx5")));
    // A compositor that is not there: globals count as absent, at once.
    facts = probe({"velnor-no-such-display", "wayland", QStringLiteral("GNOME")});
    EXPECT_EQ(facts.server, DisplayServer::Wayland);
    EXPECT_EQ(facts.desktopName, QStringLiteral("GNOME"));
    EXPECT_EQ(describeFacts(facts),
              QStringLiteral("portal GlobalShortcuts 1, RemoteDesktop 2; Wayland globals: none; Fcitx5: yes"));
}

} // namespace
} // namespace velnor::test
