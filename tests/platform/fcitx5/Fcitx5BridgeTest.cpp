// The app's side of the Fcitx5 addon over a real (private) session bus, with
// a fake addon as the peer: hotkey, commit, preedit, private fields, and the
// addon vanishing in the middle of a dictation.
#include "keyboard/KeyboardTestRig.h"
#include "platform/fake/FakeWorkspace.h"
#include "platform/fcitx5/FakeFcitx5Addon.h"
#include "platform/linux/fcitx5/Fcitx5Bridge.h"
#include "platform/linux/fcitx5/Fcitx5KeySource.h"
#include "platform/linux/fcitx5/Fcitx5KeySynthesizer.h"
#include "platform/linux/fcitx5/Fcitx5PreeditSink.h"
#include "platform/linux/fcitx5/Fcitx5TextInput.h"
#include "platform/linux/fcitx5/PreferredKeySource.h"
#include "support/EventLoopWait.h"
#include "support/LogCapture.h"
#include "testing/FakeTextInput.h"

#include <gtest/gtest.h>

namespace velnor::test {
namespace {

using fcitx5::AddonState;

constexpr quint32 FnShift = 0x20200;

struct Fcitx5BridgeTest : ::testing::Test {
    PrivateBus bus;
    FakeFcitx5Addon addon{bus.connect(QStringLiteral("fcitx"))};
    fcitx5::Fcitx5Bridge bridge{bus.connect(QStringLiteral("app"))};
    bool enabled = true;

    FakeWorkspace workspace;
    FakeTextInput fallback{workspace};
    LogCapture log;
    fcitx5::Fcitx5TextInput text{bridge, fallback, log.logger(), [this] { return enabled; }};
    fcitx5::Fcitx5PreeditSink preedit{bridge, [this] { return enabled; }};

    FakeKeyboardPlatform x11{{}};
    fcitx5::Fcitx5KeySource imKeys{bridge};
    fcitx5::PreferredKeySource keys{imKeys, x11.keys,
                                    [this] { return enabled && imKeys.isAvailable() && bridge.focusedField().focused; }};
    KeyboardStack keyboard{keys, x11.devices};

    void SetUp() override
    {
        ASSERT_TRUE(bus.isUp()) << "dbus-daemon did not start";
        keyboard.hotkey(HotkeyType::fnShift);
        bridge.setHotkey(FnShift);
    }

    void connectAddon()
    {
        ASSERT_TRUE(addon.startFcitx() && addon.loadAddon());
        ASSERT_TRUE(waitUntil([this] {
            return bridge.state() == AddonState::Connected && addon.calls.contains(QStringLiteral("SetHotkey(20200)"));
        }));
    }

    void focusField(const QString& program, quint64 capabilities = 0)
    {
        addon.focus(program, capabilities);
        ASSERT_TRUE(waitUntil([&] { return bridge.focusedField().program == program; }));
    }
    void unfocus()
    {
        addon.focus({});
        ASSERT_TRUE(waitUntil([this] { return !bridge.focusedField().focused; }));
    }

    // `meanwhile` runs once the insertion has started.
    InsertionResult insert(const QString& dictated, const std::function<void()>& meanwhile = {})
    {
        std::optional<InsertionResult> result;
        text.inputTextToFocusedField(dictated, [&](const InsertionResult& done) { result = done; });
        if (meanwhile)
            meanwhile();
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(InsertionResult{});
    }
};

TEST_F(Fcitx5BridgeTest, StateFollowsTheAddonOnTheBusAndACrashMidDictationLosesNoText)
{
    ASSERT_TRUE(waitUntil([this] { return bridge.state() == AddonState::FcitxNotRunning; }));
    ASSERT_TRUE(addon.startFcitx());
    EXPECT_TRUE(waitUntil([this] { return bridge.state() == AddonState::NotInstalled; }));
    connectAddon();
    // A field focused before the app came up is asked for, not waited for.
    addon.focused = true;
    addon.program = QStringLiteral("gedit");
    addon.unloadAddon();
    ASSERT_TRUE(waitUntil([this] { return bridge.state() == AddonState::NotInstalled; }));
    EXPECT_FALSE(bridge.focusedField().focused);
    ASSERT_TRUE(addon.loadAddon());
    ASSERT_TRUE(waitUntil([this] { return bridge.focusedField().program == QStringLiteral("gedit"); }));
    EXPECT_EQ(addon.calls.count(QStringLiteral("SetHotkey(20200)")), 2) << "the chord again for the new addon";

    addon.holdCommits = true;
    // Fcitx5 crashes with the commit unanswered.
    const InsertionResult result = insert(QStringLiteral("会议改到明天"), [this] {
        ASSERT_TRUE(peerHeard(addon.calls, QStringLiteral("CommitString(会议改到明天)")));
        addon.crash();
    });
    EXPECT_EQ(fallback.typed, QStringList({QStringLiteral("会议改到明天")}));
    EXPECT_EQ(result.method, TextInputMethod::Accessibility) << "the fallback's own way";
    EXPECT_TRUE(waitUntil([this] { return bridge.state() == AddonState::FcitxNotRunning; }));
    EXPECT_TRUE(log.contains(QStringLiteral("输入法提交失败，改用其他方式输入")));
}

TEST_F(Fcitx5BridgeTest, AFocusedFieldGetsOneDictationPerChordSubmitKeysAndTextOnceAndLosesItsPreeditWithTheFocus)
{
    fcitx5::Fcitx5KeySynthesizer submitKeys{bridge, log.logger()};
    EXPECT_EQ(submitKeys.createEventSource(), nullptr) << "no addon yet";
    connectAddon();
    focusField(QStringLiteral("gedit"));
    const auto x11Chord = [this] {
        x11.keys.emitEvent({GlobalKeyEventType::FlagsChanged, 63, EventModifier::Function, 0});
        x11.keys.emitEvent({GlobalKeyEventType::FlagsChanged, 56, EventModifier::Function | EventModifier::Shift, 0});
        x11.keys.emitEvent({GlobalKeyEventType::FlagsChanged, 56, EventModifier::Function, 0});
        x11.keys.emitEvent({GlobalKeyEventType::FlagsChanged, 63, 0, 0});
    };
    x11Chord();
    for (const quint32 modifiers : {0x20000u, FnShift, 0x20000u, 0u})
        addon.pressModifiers(modifiers);
    ASSERT_TRUE(waitUntil([this] { return keyboard.fired.size() >= 2; }));
    runEventLoopFor(20);
    EXPECT_EQ(keyboard.fired, QStringList({QStringLiteral("down"), QStringLiteral("up")}));

    struct Case {
        int modifier;
        const char* forwarded;
    };
    for (const Case& c : {Case{0, "ForwardKey(ff0d,0)"}, Case{VirtualKey::LeftShift, "ForwardKey(ff0d,1)"},
                          Case{VirtualKey::LeftControl, "ForwardKey(ff0d,4)"}}) {
        SCOPED_TRACE(c.forwarded);
        addon.calls.clear();
        const auto source = submitKeys.createEventSource();
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->createKeyboardEvent(VirtualKey::V, true), std::nullopt) << "only Return and its modifiers";
        // The order the submitter posts a chord in.
        QList<SyntheticKeyEvent> events{{VirtualKey::Return, true}, {VirtualKey::Return, false}};
        if (c.modifier != 0)
            events = {{c.modifier, true}, events[0], events[1], {c.modifier, false}};
        for (const SyntheticKeyEvent& event : events)
            source->post(*source->createKeyboardEvent(event.virtualKey, event.keyDown));
        ASSERT_TRUE(peerHeard(addon.calls, QLatin1String(c.forwarded)));
        EXPECT_EQ(addon.calls, QStringList{QLatin1String(c.forwarded)}) << "one press and release, by the addon";
    }

    // The final text is committed once, after its preedit; a focus change
    // takes a preedit away at once.
    addon.calls.clear();
    preedit.showPreedit(QStringLiteral("今天"));
    preedit.showPreedit(QStringLiteral("今天天气"));
    const InsertionResult result = insert(QStringLiteral("今天天气很好。"));
    EXPECT_EQ(result.method, TextInputMethod::InputMethod);
    EXPECT_EQ(textInputMethodName(result.method), QStringLiteral("input_method"));
    EXPECT_EQ(result.info.value(QStringLiteral("bundleId")), QStringLiteral("org.example.editor"));
    EXPECT_TRUE(fallback.typed.isEmpty());
    EXPECT_EQ(addon.calls, QStringList({QStringLiteral("SetPreedit(今天)"), QStringLiteral("SetPreedit(今天天气)"),
                                        QStringLiteral("CommitString(今天天气很好。)")}));
    preedit.showPreedit(QStringLiteral("明天"));
    focusField(QStringLiteral("firefox"));
    EXPECT_TRUE(peerHeard(addon.calls, QStringLiteral("ClearPreedit()")));
    // Nothing shown any more: a cancel has nothing to clear.
    preedit.clearPreedit();
    runEventLoopFor(20);
    EXPECT_EQ(addon.calls.count(QStringLiteral("ClearPreedit()")), 1);

    // No field focused (a window the input method does not serve): XI2's
    // keys count, and the addon sends no submit keys.
    unfocus();
    x11Chord();
    EXPECT_EQ(keyboard.fired.size(), 4);
    EXPECT_FALSE(submitKeys.isAvailable());
}

TEST(Fcitx5KeySourceEvent, GivesBackTheModifierSetTheAddonSaw)
{
    for (const quint32 modifiers : {0x20200u, 0x1200u, 0x20000u, 0x800u, 0x100000u, 0x41000u, 0x80000u, 0x20600u}) {
        SCOPED_TRACE(modifiers);
        const GlobalKeyEvent event = fcitx5::Fcitx5KeySource::eventFor(modifiers);
        EXPECT_EQ(event.type, GlobalKeyEventType::FlagsChanged);
        EXPECT_EQ(modifierKeyFromEventFlags(event.modifierFlags, event.keyCode).rawValue, modifiers);
    }
}

TEST_F(Fcitx5BridgeTest, NothingGoesThroughTheInputMethodWhereItMustNot)
{
    struct Case {
        const char* name;
        quint64 capabilities; // the input context's bits: password 3, sensitive 36
        bool switchedOn;
        bool focused;
    };
    const Case cases[] = {
        {"password field", 1ull << 3, true, true},
        {"sensitive field", 1ull << 36, true, true},
        {"switch off", 0, false, true},
        {"no field focused", 0, true, false},
    };
    connectAddon();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        addon.calls.clear();
        fallback.typed.clear();
        enabled = c.switchedOn;
        focusField(QStringLiteral("app-") + QLatin1String(c.name), c.capabilities);
        if (!c.focused)
            unfocus();
        preedit.showPreedit(QStringLiteral("密码"));
        EXPECT_NE(insert(QStringLiteral("秘密")).method, TextInputMethod::InputMethod);
        EXPECT_EQ(fallback.typed, QStringList({QStringLiteral("秘密")}));
        runEventLoopFor(20);
        EXPECT_TRUE(addon.calls.filter(QStringLiteral("Preedit")).isEmpty()) << addon.calls.join(' ').toStdString();
        EXPECT_TRUE(addon.calls.filter(QStringLiteral("CommitString")).isEmpty());
    }
}

} // namespace
} // namespace velnor::test
