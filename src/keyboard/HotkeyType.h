#pragma once

#include "keyboard/ModifierKey.h"

#include <QString>

#include <optional>

namespace velnor {

// The dictation hotkeys a user can choose, stored under "/velnor/hotkey/start".
enum class HotkeyType { fnShift, ctrlShift, fn, leftOption, rightCommand };

// Any value other than the five known ones (or none) is fnShift.
HotkeyType hotkeyTypeFromSetting(const std::optional<QString>& value);
// "fn_shift", "ctrl_shift", "fn", "left_option", "right_command".
QString settingValue(HotkeyType type);
ModifierKey hotkeyModifiers(HotkeyType type);
// The short display name of the stored hotkey ("Fn + Shift", "左 Option" …).
QString hotkeyShortName(const std::optional<QString>& value);
// The keys to hold on a keyboard that reports no Fn key (every keyboard on
// X11), where right Control is Fn, Super is Command and Alt is Option:
// "Right Ctrl + Shift" for fnShift. For the hotkey pickers' hints.
QString hotkeyKeysWithoutFn(HotkeyType type);

} // namespace velnor
