#pragma once

#include <functional>

namespace velnor {

// The five dictation hotkeys the user can choose from.
enum class DictationHotkey { FnShift, CtrlShift, Fn, LeftOption, RightCommand };

// Where the dictation hotkey is registered: the global shortcut manager in
// the app, a recorder in tests.
class HotkeyRegistry {
public:
    using Handler = std::function<void()>;

    HotkeyRegistry() = default;
    virtual ~HotkeyRegistry() = default;
    HotkeyRegistry(const HotkeyRegistry&) = delete;
    HotkeyRegistry& operator=(const HotkeyRegistry&) = delete;

    virtual void registerHotkey(DictationHotkey hotkey, Handler onKeyDown, Handler onKeyUp) = 0;
    virtual void unregisterAll() = 0;
};

} // namespace velnor
