#pragma once

#include "keyboard/HotkeyType.h"
#include "keyboard/ShortcutManager.h"
#include "log/ConsoleSink.h"

#include <QList>

#include <functional>
#include <memory>

namespace velnor {

// The application's hotkey registrations: registers dictation hotkeys by type
// and removes them all when the user picks another.
class Shortcut final {
public:
    using Handler = std::function<void()>;

    // `console` receives the default callbacks' texts.
    Shortcut(ShortcutManager& manager, ConsoleSink console);
    Shortcut(const Shortcut&) = delete;
    Shortcut& operator=(const Shortcut&) = delete;

    // Registers one modifier-only shortcut of the type; a missing callback
    // prints the type's fixed text instead.
    std::shared_ptr<ShortcutManager::Shortcut> registerHotkey(HotkeyType type, Handler onKeyDown = {},
                                                              Handler onKeyUp = {});
    // Removes every shortcut made here from the manager.
    void unregisterAll();

    const QList<std::shared_ptr<ShortcutManager::Shortcut>>& shortcuts() const { return m_shortcuts; }

private:
    ShortcutManager& m_manager;
    ConsoleSink m_console;
    QList<std::shared_ptr<ShortcutManager::Shortcut>> m_shortcuts;
};

} // namespace velnor
