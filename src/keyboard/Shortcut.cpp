#include "keyboard/Shortcut.h"

namespace velnor {
namespace {

struct DefaultTexts {
    const char* keyDown; // UTF-8
    const char* keyUp;
};

DefaultTexts defaultTexts(HotkeyType type)
{
    switch (type) {
    case HotkeyType::fnShift:
        return {"Fn+Shift", "Fn+Shift"};
    case HotkeyType::ctrlShift:
        return {"ctrl+Shift 按下", "ctrl+Shift 抬起"};
    case HotkeyType::fn:
        return {"fn 按下", "fn 抬起"};
    case HotkeyType::leftOption:
        return {"left option 按下", "left option 抬起"};
    case HotkeyType::rightCommand:
        return {"right command 按下", "right command 抬起"};
    }
    return {"", ""};
}

} // namespace

Shortcut::Shortcut(ShortcutManager& manager, ConsoleSink console)
    : m_manager(manager)
    , m_console(std::move(console))
{
}

std::shared_ptr<ShortcutManager::Shortcut> Shortcut::registerHotkey(HotkeyType type, Handler onKeyDown,
                                                                    Handler onKeyUp)
{
    const DefaultTexts texts = defaultTexts(type);
    const auto printer = [console = m_console](const char* text) {
        return [console, line = QString::fromUtf8(text)] { console(line); };
    };
    auto shortcut = ShortcutManager::Shortcut::create(m_manager, hotkeyModifiers(type),
                                                      onKeyDown ? std::move(onKeyDown) : printer(texts.keyDown),
                                                      onKeyUp ? std::move(onKeyUp) : printer(texts.keyUp));
    m_shortcuts.append(shortcut);
    return shortcut;
}

void Shortcut::unregisterAll()
{
    for (const auto& shortcut : m_shortcuts)
        m_manager.unregisterShortcut(shortcut);
    m_shortcuts.clear();
}

} // namespace velnor
