// Real XTest key presses on the test desktop (scripts/with-services.sh)
// through the XI2 key source and keyboard list into the hotkey manager.
#include "KeyboardTestRig.h"
#include "XTestKeys.h"
#include "platform/fcitx5/FakeFcitx5Addon.h"
#include "platform/linux/session/DBusSessionLock.h"
#include "platform/linux/x11/SyntheticKeyEchoes.h"
#include "platform/linux/x11/XInputKeySource.h"
#include "platform/linux/x11/XInputKeyboardDevices.h"
#include "support/EventLoopWait.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

namespace velnor::test {
namespace {

const QString kSessionPath = QStringLiteral("/org/freedesktop/login1/session/_7");

// The desktop's screen saver and logind with one session (its system bus
// played by a private one too): answers what the app asks, announces changes.
class FakeSessionServices final : public QDBusVirtualObject {
public:
    bool offerAll()
    {
        return m_services.registerVirtualObject(QStringLiteral("/org/freedesktop"), this, QDBusConnection::SubPath)
            && m_services.registerService(QStringLiteral("org.freedesktop.ScreenSaver"))
            && m_services.registerService(QStringLiteral("org.freedesktop.login1"));
    }
    void setScreenSaverActive(bool active)
    {
        screenSaverActive = active;
        m_services.send(QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                   QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("ActiveChanged"))
                        << active);
    }
    void setLockedHint(bool locked)
    {
        m_lockedHint = locked;
        m_services.send(QDBusMessage::createSignal(kSessionPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                   QStringLiteral("PropertiesChanged"))
                        << QStringLiteral("org.freedesktop.login1.Session")
                        << QVariantMap{{QStringLiteral("LockedHint"), locked}} << QStringList());
    }
    // The app's view of the session: its lock, as the app reads it.
    std::unique_ptr<session::DBusSessionLock> lock()
    {
        return std::make_unique<session::DBusSessionLock>(m_bus.connect(QStringLiteral("app")), m_bus.connect(QStringLiteral("app")));
    }

    // GetActive, logind's GetSession, and the session's LockedHint property.
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& connection) override
    {
        QVariant answer = QVariant::fromValue(QDBusVariant(m_lockedHint));
        if (call.member() == QLatin1String("GetActive"))
            answer = screenSaverActive;
        else if (call.member() == QLatin1String("GetSession"))
            answer = QVariant::fromValue(QDBusObjectPath(kSessionPath));
        return connection.send(call.createReply(answer));
    }
    QString introspect(const QString&) const override { return {}; }

    bool screenSaverActive = false;

private:
    bool m_lockedHint = false;
    PrivateBus m_bus;
    QDBusConnection m_services = m_bus.connect(QStringLiteral("services"));
};

// The whole hotkey stack as the app builds it, on $DISPLAY.
class HotkeyDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "DISPLAY is not set: run through scripts/with-services.sh";
        ASSERT_TRUE(driver.isConnected());
        ASSERT_TRUE(fakeServices.offerAll());
        sessionLock = fakeServices.lock();
        stack = std::make_unique<KeyboardStack>(keySource, devices, QString(), sessionLock.get());
        ASSERT_TRUE(stack->monitor.isStarted());
        ASSERT_TRUE(stack->manager->start()) << "the XI2 key source did not start";
        manager = stack->manager.get();
    }

    void useHotkey(HotkeyType type)
    {
        stack->registrar->unregisterAll();
        stack->hotkey(type);
        stack->fired.clear();
    }

    // Sends a marker key (A) and waits for it: every event posted before it
    // has been handled by then.
    void settle()
    {
        bool seen = false;
        // A key shortcut matches the flags exactly, and a locked Caps Lock is one.
        const ModifierKey locked = manager->currentModifiers() & ModifierKey::capsLock();
        const auto marker = ShortcutManager::Shortcut::create(
            *manager, KeyCode::a, locked, [&seen] { seen = true; }, {});
        driver.chord({XKey::LetterA}, {XKey::LetterA});
        ASSERT_TRUE(waitUntil([&seen] { return seen; }, 5000));
        manager->unregisterShortcut(marker);
    }

    // Presses the Fn+Shift chord and releases it, waiting until the manager saw
    // each half (a locked Caps Lock may be held besides).
    void pressAndReleaseFnShift()
    {
        const ModifierKey chord = ModifierKey::function() | ModifierKey::shift();
        driver.chord({XKey::RightControl, XKey::LeftShift}, {});
        ASSERT_TRUE(waitUntil([&] { return (manager->currentModifiers() & chord) == chord; }, 5000));
        driver.chord({}, {XKey::LeftShift, XKey::RightControl});
        ASSERT_TRUE(waitUntil([&] { return (manager->currentModifiers() & chord).isEmpty(); }, 5000));
    }

    FakeSessionServices fakeServices;
    std::unique_ptr<session::DBusSessionLock> sessionLock;
    XTestKeys driver;
    x11::SyntheticKeyEchoes echoes{[] { return QDateTime::currentMSecsSinceEpoch(); }};
    x11::XInputKeySource keySource{{}, &echoes};
    x11::XInputKeyboardDevices devices;
    std::unique_ptr<KeyboardStack> stack;
    ShortcutManager* manager = nullptr;
};

TEST_F(HotkeyDesktop, ChordsFireOnRealKeysInEitherOrderButNeverOnOurOwnSyntheticKeys)
{
    struct Row {
        const char* name;
        HotkeyType type;
        const char* steps; // "rctrl -rctrl": press, then release
        bool fires;
    };
    // Right Control is Fn on this platform.
    const std::vector<Row> rows{
        {"Fn+Shift as right Ctrl then Shift", HotkeyType::fnShift, "rctrl shift -shift -rctrl", true},
        {"Ctrl+Shift is left Ctrl", HotkeyType::ctrlShift, "ctrl shift -ctrl -shift", true},
        {"right Ctrl+Shift is not Ctrl+Shift", HotkeyType::ctrlShift, "rctrl shift -shift -rctrl", false},
        {"Fn alone", HotkeyType::fn, "rctrl -rctrl", true},
        {"Left Option is left Alt", HotkeyType::leftOption, "alt -alt", true},
        {"Right Command is right Super", HotkeyType::rightCommand, "rsuper -rsuper", true},
    };
    const QHash<QString, std::uint8_t> keys{{"ctrl", XKey::LeftControl}, {"rctrl", XKey::RightControl},
                                            {"shift", XKey::LeftShift},  {"alt", XKey::LeftAlt},
                                            {"rsuper", XKey::RightSuper}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        useHotkey(row.type);
        for (const QString& step : QString::fromLatin1(row.steps).split(QLatin1Char(' ')))
            step.startsWith(QLatin1Char('-')) ? driver.release(keys.value(step.mid(1))) : driver.press(keys.value(step));
        settle();
        EXPECT_EQ(stack->fired, (row.fires ? QStringList{"down", "up"} : QStringList{}));
        EXPECT_TRUE(manager->currentModifiers().isEmpty());
    }

    // Our own synthetic keys are ignored, other clients' XTest keys are not:
    // what a paste with the hotkey's own modifiers would post.
    useHotkey(HotkeyType::ctrlShift);
    for (const auto& [key, press] : std::vector<std::pair<std::uint8_t, bool>>{
             {XKey::LeftControl, true}, {XKey::LeftShift, true}, {XKey::LeftShift, false}, {XKey::LeftControl, false}}) {
        echoes.expect(key, press);
        press ? driver.press(key) : driver.release(key);
    }
    settle();
    EXPECT_TRUE(stack->fired.isEmpty());
    EXPECT_EQ(echoes.pending(), 0);

    driver.chord({XKey::LeftControl, XKey::LeftShift}, {XKey::LeftShift, XKey::LeftControl});
    settle();
    EXPECT_EQ(stack->fired, (QStringList{"down", "up"}));
}

// Caps Lock locked, a screen locker (or any client) holding the keyboard, a
// locked session: the chord starts nothing until that ends.
TEST_F(HotkeyDesktop, ALockedSessionAGrabbedKeyboardOrCapsLockStartsNothing)
{
    useHotkey(HotkeyType::fnShift);
    XTestKeys locker;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(locker.connection())).data->root;
    struct Row {
        const char* name;
        std::function<bool(bool locked)> set; // false: the change never showed
    };
    const std::vector<Row> rows{
        {"Caps Lock", [this](bool locked) {
             driver.chord({XKey::CapsLock}, {XKey::CapsLock});
             return waitUntil([&] { return manager->currentModifiers().intersects(ModifierKey::capsLock()) == locked; }, 5000);
         }},
        // Its password prompt gets the keys, yet XI2 raw events still reach us.
        {"keyboard grabbed by another client", [&](bool locked) {
             if (!locked) {
                 xcb_ungrab_keyboard(locker.connection(), XCB_CURRENT_TIME);
                 xcb_flush(locker.connection());
                 return waitUntil([this] { return !driver.keyboardGrabbedElsewhere(); }, 5000);
             }
             const x11::XcbReply<xcb_grab_keyboard_reply_t> grab(xcb_grab_keyboard_reply(
                 locker.connection(),
                 xcb_grab_keyboard(locker.connection(), 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                 nullptr));
             return grab && grab->status == XCB_GRAB_STATUS_SUCCESS;
         }},
        {"screen saver active", [this](bool locked) {
             fakeServices.setScreenSaverActive(locked);
             return waitUntil([&] { return sessionLock->isLocked() == locked; }, 5000);
         }},
        {"logind LockedHint", [this](bool locked) {
             fakeServices.setLockedHint(locked);
             return waitUntil([&] { return sessionLock->isLocked() == locked; }, 5000);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(row.set(true));
        pressAndReleaseFnShift();
        EXPECT_TRUE(stack->fired.isEmpty()) << "the chord must not record behind a lock";
        ASSERT_TRUE(row.set(false));
        pressAndReleaseFnShift();
        EXPECT_EQ(stack->fired, (QStringList{"down", "up"}));
        stack->fired.clear();
    }

    // A lock state known at start is read without a signal.
    fakeServices.screenSaverActive = true;
    const auto startedWhileLocked = fakeServices.lock();
    EXPECT_TRUE(waitUntil([&] { return startedWhileLocked->isLocked(); }, 5000));
}

} // namespace
} // namespace velnor::test
