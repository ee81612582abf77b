#include "keyboard/ShortcutManager.h"

#include "keyboard/HIDEventMonitor.h"
#include "keyboard/KeyboardManager.h"
#include "platform/GlobalKeySource.h"
#include "platform/SessionLock.h"

#include <optional>

namespace velnor {

// MARK: - Shortcut

ShortcutManager::Shortcut::Shortcut(ShortcutManager& manager, std::optional<KeyCode> keyCode, ModifierKey modifiers,
                                    Handler keyDownHandler, Handler keyUpHandler)
    : m_manager(manager)
    , m_identifier(QUuid::createUuid())
    , m_keyCode(keyCode)
    , m_modifiers(modifiers)
    , m_keyDownHandler(std::move(keyDownHandler))
    , m_keyUpHandler(std::move(keyUpHandler))
{
}

std::shared_ptr<ShortcutManager::Shortcut> ShortcutManager::Shortcut::create(ShortcutManager& manager,
                                                                             ModifierKey modifiers,
                                                                             Handler keyDownHandler,
                                                                             Handler keyUpHandler)
{
    std::shared_ptr<Shortcut> shortcut(
        new Shortcut(manager, std::nullopt, modifiers, std::move(keyDownHandler), std::move(keyUpHandler)));
    manager.registerShortcut(shortcut);
    return shortcut;
}

std::shared_ptr<ShortcutManager::Shortcut> ShortcutManager::Shortcut::create(ShortcutManager& manager,
                                                                             KeyCode keyCode, ModifierKey modifiers,
                                                                             Handler keyDownHandler,
                                                                             Handler keyUpHandler)
{
    std::shared_ptr<Shortcut> shortcut(
        new Shortcut(manager, keyCode, modifiers, std::move(keyDownHandler), std::move(keyUpHandler)));
    manager.registerShortcut(shortcut);
    return shortcut;
}

void ShortcutManager::Shortcut::setPaused(bool paused)
{
    if (paused == m_isPaused)
        return;
    m_isPaused = paused;
    // The manager's list may hold the last reference.
    const auto self = shared_from_this();
    if (paused) {
        m_isDown = false;
        m_manager.unregisterShortcut(self);
    } else {
        m_manager.registerShortcut(self);
    }
}

void ShortcutManager::Shortcut::fireKeyDown()
{
    m_isDown = true;
    if (m_keyDownHandler)
        m_keyDownHandler();
}

void ShortcutManager::Shortcut::fireKeyUp()
{
    // A release of keys this shortcut never went down on (say Shift tapped
    // while Ctrl+Alt are held) is not its key-up.
    if (!m_isDown)
        return;
    m_isDown = false;
    if (m_keyUpHandler)
        m_keyUpHandler();
}

// MARK: - Manager

// Asks once per event, and only when a key-down would fire.
class ShortcutManager::MayStart final {
public:
    explicit MayStart(ShortcutManager& manager)
        : m_manager(manager)
    {
    }
    bool operator()()
    {
        if (!m_asked) {
            m_answer = !m_manager.keyInputBelongsElsewhere();
            m_asked = true;
        }
        return m_answer;
    }

private:
    ShortcutManager& m_manager;
    // Two plain flags: GCC's -O2 flow analysis takes an optional<bool> here
    // for uninitialised.
    bool m_asked = false;
    bool m_answer = false;
};

ShortcutManager::ShortcutManager(GlobalKeySource& keySource, HIDEventMonitor& hidEventMonitor,
                                 const KeyboardManager& keyboards, const SessionLock* sessionLock)
    : m_keySource(keySource)
    , m_hidEventMonitor(hidEventMonitor)
    , m_keyboards(keyboards)
    , m_sessionLock(sessionLock)
{
    m_hidEventMonitor.setKeyEventHandler(
        [this](const std::optional<KeyboardIdentity>& keyboard) { m_lastKeyboardEvent = keyboard; });
}

ShortcutManager::~ShortcutManager()
{
    stop();
    m_hidEventMonitor.setKeyEventHandler({});
    m_hidEventMonitor.stop();
}

bool ShortcutManager::start()
{
    if (!m_started)
        m_started = m_keySource.start([this](const GlobalKeyEvent& event) { handleEvent(event); });
    return m_started;
}

void ShortcutManager::stop()
{
    if (!m_started)
        return;
    m_started = false;
    m_keySource.stop();
}

void ShortcutManager::registerShortcut(const std::shared_ptr<Shortcut>& shortcut)
{
    if (!shortcut || m_registeredShortcuts.contains(shortcut))
        return;
    m_registeredShortcuts.append(shortcut);
}

void ShortcutManager::unregisterShortcut(const std::shared_ptr<Shortcut>& shortcut) { unregisterShortcut(shortcut.get()); }

void ShortcutManager::unregisterShortcut(const Shortcut* shortcut)
{
    m_registeredShortcuts.removeIf([shortcut](const auto& registered) { return registered.get() == shortcut; });
}

void ShortcutManager::handleEvent(const GlobalKeyEvent& event)
{
    m_hidEventMonitor.reportKeyInput(event.sourceDevice);
    if (!passesKeyboardFilter())
        return;
    if (event.type == GlobalKeyEventType::FlagsChanged)
        handleFlagsChanged(event);
    else
        handleKey(event);
}

bool ShortcutManager::passesKeyboardFilter() const
{
    if (m_lastKeyboardEvent)
        return m_keyboards.isSelectedKeyboard(*m_lastKeyboardEvent);
    return m_keyboards.availableKeyboards().isEmpty() || !m_keyboards.isSelectionListed()
        || m_keyboards.selectedKeyboardID() == QLatin1String(KeyboardDevice::BuiltInId);
}

void ShortcutManager::handleFlagsChanged(const GlobalKeyEvent& event)
{
    const ModifierKey flags = modifierKeyFromEventFlags(event.modifierFlags, event.keyCode);
    const ModifierKey released = m_currentModifiers.without(flags);
    m_currentModifiers = flags;
    // Handlers may change the registrations: walk a snapshot and skip entries
    // that left the list meanwhile.
    const auto snapshot = m_registeredShortcuts;
    MayStart mayStart(*this);
    for (const auto& shortcut : snapshot) {
        if (!shortcut->isModifierOnly() || shortcut->m_isPaused || !m_registeredShortcuts.contains(shortcut))
            continue;
        const ModifierKey wanted = shortcut->modifiers();
        if (!flags.isEmpty() && wanted == flags && mayStart())
            shortcut->fireKeyDown();
        if (!released.isEmpty() && (flags | released).contains(wanted) && wanted.intersects(released))
            shortcut->fireKeyUp();
    }
}

void ShortcutManager::handleKey(const GlobalKeyEvent& event)
{
    const auto key = keyCodeFromRaw(event.keyCode);
    if (!key)
        return;
    const ModifierKey flags = modifierKeyFromEventFlags(event.modifierFlags, event.keyCode);
    const bool down = event.type == GlobalKeyEventType::KeyDown;
    const auto snapshot = m_registeredShortcuts;
    MayStart mayStart(*this);
    for (const auto& shortcut : snapshot) {
        if (shortcut->keyCode() != key || shortcut->modifiers() != flags || shortcut->m_isPaused
            || !m_registeredShortcuts.contains(shortcut))
            continue;
        if (!down)
            shortcut->fireKeyUp();
        else if (mayStart())
            shortcut->fireKeyDown();
    }
}

bool ShortcutManager::keyInputBelongsElsewhere()
{
    return (m_sessionLock && m_sessionLock->isLocked()) || m_keySource.isKeyboardGrabbedElsewhere();
}

} // namespace velnor
