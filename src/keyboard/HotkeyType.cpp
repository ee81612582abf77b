#include "keyboard/HotkeyType.h"

#include <array>

namespace velnor {
namespace {

struct HotkeyEntry {
    HotkeyType type;
    const char* value;
    quint32 modifiers;
    const char* shortName; // UTF-8
    const char* keysWithoutFn;
};

constexpr std::array<HotkeyEntry, 5> kHotkeys{{
    {HotkeyType::fnShift, "fn_shift", ModifierKey::FunctionBit | ModifierKey::ShiftBit, "Fn + Shift", "Right Ctrl + Shift"},
    {HotkeyType::ctrlShift, "ctrl_shift", ModifierKey::ControlBit | ModifierKey::ShiftBit, "Ctrl + Shift", "Left Ctrl + Shift"},
    {HotkeyType::fn, "fn", ModifierKey::FunctionBit, "Fn", "Right Ctrl"},
    {HotkeyType::leftOption, "left_option", ModifierKey::OptionBit, "左 Option", "Left Alt"},
    {HotkeyType::rightCommand, "right_command", ModifierKey::RightCommandBit, "Right Command", "Right Super"},
}};

const HotkeyEntry& entryFor(HotkeyType type)
{
    for (const HotkeyEntry& entry : kHotkeys) {
        if (entry.type == type)
            return entry;
    }
    return kHotkeys.front();
}

} // namespace

HotkeyType hotkeyTypeFromSetting(const std::optional<QString>& value)
{
    if (value) {
        for (const HotkeyEntry& entry : kHotkeys) {
            if (*value == QLatin1String(entry.value))
                return entry.type;
        }
    }
    return HotkeyType::fnShift;
}

QString settingValue(HotkeyType type) { return QLatin1String(entryFor(type).value); }

ModifierKey hotkeyModifiers(HotkeyType type) { return {entryFor(type).modifiers}; }

QString hotkeyKeysWithoutFn(HotkeyType type) { return QLatin1String(entryFor(type).keysWithoutFn); }

QString hotkeyShortName(const std::optional<QString>& value)
{
    return QString::fromUtf8(entryFor(hotkeyTypeFromSetting(value)).shortName);
}

} // namespace velnor
