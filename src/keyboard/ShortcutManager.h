#pragma once

#include "keyboard/KeyCode.h"
#include "keyboard/KeyboardDevice.h"
#include "keyboard/ModifierKey.h"

#include <QList>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace velnor {

class GlobalKeySource;
class HIDEventMonitor;
class KeyboardManager;
class SessionLock;
struct GlobalKeyEvent;

// Turns system-wide key events into the key-down and key-up callbacks of the
// registered shortcuts, on the keyboard the user selected. Every qualifying
// event calls its handler at once; there is no timing here. Nothing starts
// while the session is locked or another client holds the keyboard (a
// locker's password prompt, say): key input still reaches us then.
class ShortcutManager final {
public:
    using Handler = std::function<void()>;

    // One registered chord: a key with modifiers, or modifiers alone.
    // Compared by identity.
    class Shortcut final : public std::enable_shared_from_this<Shortcut> {
    public:
        // Creating a shortcut registers it with the manager at once.
        static std::shared_ptr<Shortcut> create(ShortcutManager& manager, ModifierKey modifiers,
                                                Handler keyDownHandler, Handler keyUpHandler);
        static std::shared_ptr<Shortcut> create(ShortcutManager& manager, KeyCode keyCode, ModifierKey modifiers,
                                                Handler keyDownHandler, Handler keyUpHandler);

        const QUuid& identifier() const { return m_identifier; }
        const std::optional<KeyCode>& keyCode() const { return m_keyCode; }
        ModifierKey modifiers() const { return m_modifiers; }
        bool isModifierOnly() const { return !m_keyCode.has_value(); }

        bool isPaused() const { return m_isPaused; }
        // Pausing takes the shortcut off the manager's list; resuming puts it
        // back at the end.
        void setPaused(bool paused);

    private:
        friend class ShortcutManager;
        Shortcut(ShortcutManager& manager, std::optional<KeyCode> keyCode, ModifierKey modifiers,
                 Handler keyDownHandler, Handler keyUpHandler);

        void fireKeyDown();
        void fireKeyUp();

        ShortcutManager& m_manager;
        QUuid m_identifier;
        std::optional<KeyCode> m_keyCode;
        ModifierKey m_modifiers;
        Handler m_keyDownHandler;
        Handler m_keyUpHandler;
        bool m_isPaused = false;
        // A key-up belongs to a key-down: set when key-down fired.
        bool m_isDown = false;
    };

    // `sessionLock` may be null (no lock to know of).
    ShortcutManager(GlobalKeySource& keySource, HIDEventMonitor& hidEventMonitor, const KeyboardManager& keyboards,
                    const SessionLock* sessionLock = nullptr);
    ~ShortcutManager();
    ShortcutManager(const ShortcutManager&) = delete;
    ShortcutManager& operator=(const ShortcutManager&) = delete;

    // Starts listening; false when the system delivers no key events.
    bool start();
    void stop();

    // Appends unless that very shortcut is present.
    void registerShortcut(const std::shared_ptr<Shortcut>& shortcut);
    // Removes every entry that is that very shortcut.
    void unregisterShortcut(const std::shared_ptr<Shortcut>& shortcut);
    void unregisterShortcut(const Shortcut* shortcut);

    const QList<std::shared_ptr<Shortcut>>& registeredShortcuts() const { return m_registeredShortcuts; }
    ModifierKey currentModifiers() const { return m_currentModifiers; }
    const std::optional<KeyboardIdentity>& lastKeyboardEvent() const { return m_lastKeyboardEvent; }

    // One system-wide key event (the key source's handler).
    void handleEvent(const GlobalKeyEvent& event);

private:
    bool passesKeyboardFilter() const;
    void handleFlagsChanged(const GlobalKeyEvent& event);
    void handleKey(const GlobalKeyEvent& event);
    class MayStart;
    // Asked only when a key-down would fire: the grab probe is a round trip.
    bool keyInputBelongsElsewhere();

    GlobalKeySource& m_keySource;
    HIDEventMonitor& m_hidEventMonitor;
    const KeyboardManager& m_keyboards;
    const SessionLock* m_sessionLock;
    QList<std::shared_ptr<Shortcut>> m_registeredShortcuts;
    ModifierKey m_currentModifiers;
    std::optional<KeyboardIdentity> m_lastKeyboardEvent;
    bool m_started = false;
};

} // namespace velnor
