// The desktop portal seen from the app, against a fake portal on a private
// session bus: the dictation chord bound as a global shortcut (hold-to-talk
// from Activated / Deactivated) and the paste chord sent as keysyms through
// a remote-desktop session whose restore token is kept.
#include "core/ManualScheduler.h"
#include "keyboard/KeyboardTestRig.h"
#include "platform/fcitx5/FakeFcitx5Addon.h"
#include "platform/linux/portal/PortalShortcutKeySource.h"
#include "platform/linux/portal/RemoteDesktopKeySynthesizer.h"
#include "support/EventLoopWait.h"
#include "support/LogCapture.h"
#include "support/portal/FakePortal.h"

#include <gtest/gtest.h>

namespace velnor::test {
namespace {

using portal::PortalShortcutKeySource;
using portal::RemoteDesktopKeySynthesizer;

const QString kBind = QStringLiteral("GlobalShortcuts.BindShortcuts(dictation, SHIFT+Control_R, open)");
const QString kDictation = QStringLiteral("dictation");

struct PortalTest : ::testing::Test {
    PrivateBus bus;
    FakePortal fake{bus.connect(QStringLiteral("portal")), 1, 2};
    LogCapture log;

    void SetUp() override
    {
        ASSERT_TRUE(bus.isUp()) << "dbus-daemon did not start";
        ASSERT_TRUE(fake.start());
    }
};

struct GlobalShortcutsTest : PortalTest {
    PortalShortcutKeySource keys{bus.connect(QStringLiteral("app")), log.logger()};
    FakeKeyboardPlatform noKeyboards{{}};
    std::unique_ptr<KeyboardStack> keyboard;

    void startWith(HotkeyType type, const QString& bind = kBind)
    {
        keys.setChord(hotkeyModifiers(type));
        keyboard = std::make_unique<KeyboardStack>(keys, noKeyboards.devices);
        keyboard->hotkey(type);
        ASSERT_TRUE(peerHeard(fake.calls, bind));
    }
    bool firedTimes(qsizetype count)
    {
        return waitUntil([&] { return keyboard->fired.size() >= count; });
    }
};

TEST_F(GlobalShortcutsTest, BindsTheChordAndHoldsToTalkFromActivatedAndDeactivatedInEachNewSession)
{
    QString shown;
    QObject::connect(&keys, &PortalShortcutKeySource::triggerDescriptionChanged,
                     [&shown](const QString& description) { shown = description; });
    ASSERT_NO_FATAL_FAILURE(startWith(HotkeyType::fnShift));
    EXPECT_EQ(fake.calls.first(), QStringLiteral("GlobalShortcuts.CreateSession"));
    ASSERT_TRUE(waitUntil([&shown] { return !shown.isEmpty(); }));
    EXPECT_EQ(shown, QStringLiteral("Shift+Control_R"));
    EXPECT_EQ(keys.triggerDescription(), shown);

    // Another program on the bus forges the portal's signal for our session.
    ASSERT_TRUE(bus.connect(QStringLiteral("intruder"))
                    .send(shortcutSignal(QStringLiteral("Activated"), fake.lastShortcutSession, kDictation)));
    runEventLoopFor(50);
    EXPECT_TRUE(keyboard->fired.isEmpty()) << "only the portal's own signals count";

    fake.activate(kDictation);
    ASSERT_TRUE(firedTimes(1));
    fake.activate(QStringLiteral("other-app-shortcut"));
    fake.deactivate(kDictation);
    ASSERT_TRUE(firedTimes(2));
    fake.deactivate(kDictation);
    runEventLoopFor(20);
    EXPECT_EQ(keyboard->fired, QStringList({QStringLiteral("down"), QStringLiteral("up")}));

    // A portal that ends mid-chord releases it; a new portal or chord is bound in a new session.
    keyboard->fired.clear();
    fake.activate(kDictation);
    ASSERT_TRUE(firedTimes(1));
    fake.vanish();
    ASSERT_TRUE(firedTimes(2));
    EXPECT_EQ(keyboard->fired.last(), QStringLiteral("up"));
    ASSERT_TRUE(fake.reappear());
    ASSERT_TRUE(peerHeard(fake.calls, kBind, 2));
    fake.activate(kDictation);
    ASSERT_TRUE(firedTimes(3));

    // Another chord, held at the switch.
    const QString oldSession = fake.lastShortcutSession;
    keyboard->registrar->unregisterAll();
    keyboard->hotkey(HotkeyType::rightCommand, QStringLiteral("cmd-"));
    keys.setChord(hotkeyModifiers(HotkeyType::rightCommand));
    ASSERT_TRUE(peerHeard(fake.calls, QStringLiteral("GlobalShortcuts.BindShortcuts(dictation, Super_R, open)")));
    EXPECT_FALSE(fake.openSessions.contains(oldSession));
    // The old session's late release and presses no longer count.
    fake.lastShortcutSession = oldSession;
    fake.activate(kDictation);
    runEventLoopFor(20);
    EXPECT_EQ(keyboard->fired.size(), 3);
    fake.lastShortcutSession = fake.openSessions.last();
    fake.activate(kDictation);
    fake.deactivate(kDictation);
    ASSERT_TRUE(firedTimes(5));
    EXPECT_EQ(keyboard->fired.mid(3), QStringList({QStringLiteral("cmd-down"), QStringLiteral("cmd-up")}));
}

TEST_F(GlobalShortcutsTest, AUserWhoCancelsTheDialogLeavesTheSourceUnavailable)
{
    fake.responses.insert(QStringLiteral("GlobalShortcuts.BindShortcuts"), 1);
    ASSERT_NO_FATAL_FAILURE(
        startWith(HotkeyType::ctrlShift, QStringLiteral("GlobalShortcuts.BindShortcuts(dictation, CTRL+Shift_L, open)")));
    ASSERT_TRUE(waitUntil([this] { return !keys.isAvailable(); }));
    EXPECT_TRUE(log.mentions(QStringLiteral("没有绑定热键")));
    EXPECT_TRUE(keys.triggerDescription().isEmpty());
}

struct RemoteDesktopTest : PortalTest {
    ManualScheduler scheduler;
    QString storedToken;
    int refusals = 0;
    RemoteDesktopKeySynthesizer keys{bus.connect(QStringLiteral("app")), scheduler, log.logger(),
                                     {[this] { return storedToken; }, [this](const QString& token) { storedToken = token; }},
                                     [this] { ++refusals; }};

    // (key, down) through one event source, as the paste and the submit keys go.
    void post(std::initializer_list<std::pair<int, bool>> events)
    {
        const auto source = keys.createEventSource();
        ASSERT_TRUE(source);
        for (const auto& [key, down] : events) {
            const auto event = source->createKeyboardEvent(key, down);
            ASSERT_TRUE(event);
            source->post(*event);
        }
    }
};

TEST_F(RemoteDesktopTest, KeysArriveAsKeysymsAfterStartInASessionThatClosesAfterUseOrWhenIdleAndKeepsItsToken)
{
    post({{VirtualKey::LeftControl, true}, {VirtualKey::V, true}, {VirtualKey::V, false}, {VirtualKey::LeftControl, false}});
    ASSERT_TRUE(peerHeard(fake.calls, QStringLiteral("Close")));
    EXPECT_EQ(fake.calls.join(QStringLiteral(" | ")),
              QStringLiteral("RemoteDesktop.CreateSession | RemoteDesktop.SelectDevices(types=1, persist=2, token=) | "
                             "RemoteDesktop.Start | Key(ffe3, 1) | Key(76, 1) | Key(76, 0) | Key(ffe3, 0) | Close"));
    EXPECT_EQ(storedToken, QStringLiteral("restore-1"));
    EXPECT_TRUE(fake.openSessions.isEmpty());
    EXPECT_FALSE(log.mentions(QStringLiteral("restore-1"))) << "the token is a credential";

    // The stored token (as a later run finds it) is offered again, and a session opened early is used.
    storedToken = QStringLiteral("from-last-run");
    fake.issuedToken = QStringLiteral("restore-2");
    keys.openSession();
    ASSERT_TRUE(peerHeard(fake.calls, QStringLiteral("RemoteDesktop.Start"), 2));
    EXPECT_TRUE(fake.calls.contains(QStringLiteral("RemoteDesktop.SelectDevices(types=1, persist=2, token=from-last-run)")));
    EXPECT_EQ(storedToken, QStringLiteral("restore-2"));

    post({{VirtualKey::Return, true}, {VirtualKey::Return, false}});
    ASSERT_TRUE(peerHeard(fake.calls, QStringLiteral("Close"), 2));
    EXPECT_EQ(fake.calls.count(QStringLiteral("RemoteDesktop.CreateSession")), 2);
    EXPECT_EQ(fake.calls.mid(fake.calls.size() - 3),
              QStringList({QStringLiteral("Key(ff0d, 1)"), QStringLiteral("Key(ff0d, 0)"), QStringLiteral("Close")}));

    // One opened and never used closes when idle.
    keys.openSession();
    ASSERT_TRUE(peerHeard(fake.calls, QStringLiteral("RemoteDesktop.Start"), 3));
    scheduler.advanceBy(RemoteDesktopKeySynthesizer::IdleClose - Duration(1));
    runEventLoopFor(20);
    EXPECT_EQ(fake.calls.count(QStringLiteral("Close")), 2);
    scheduler.advanceBy(Duration(1));
    EXPECT_TRUE(peerHeard(fake.calls, QStringLiteral("Close"), 3));
}

TEST_F(RemoteDesktopTest, AUserWhoRefusesGetsOneNoticeAndNoKeys)
{
    fake.responses.insert(QStringLiteral("RemoteDesktop.Start"), 1);
    post({{VirtualKey::LeftControl, true}, {VirtualKey::V, true}, {VirtualKey::V, false}, {VirtualKey::LeftControl, false}});
    ASSERT_TRUE(waitUntil([this] { return refusals == 1; }));
    EXPECT_FALSE(keys.isAvailable());
    EXPECT_EQ(keys.createEventSource(), nullptr) << "the text stays on the clipboard";
    keys.openSession();
    keys.post({VirtualKey::V, true});
    runEventLoopFor(50);
    EXPECT_EQ(refusals, 1);
    EXPECT_EQ(fake.calls.filter(QStringLiteral("Key(")).size(), 0);
    EXPECT_EQ(fake.calls.count(QStringLiteral("RemoteDesktop.CreateSession")), 1);
    EXPECT_TRUE(storedToken.isEmpty());
}

} // namespace
} // namespace velnor::test
