#include "keyboard/KeyCode.h"

#include <algorithm>
#include <array>

namespace velnor {
namespace {

struct KeyEntry {
    KeyCode key;
    const char* name; // UTF-8
};

using K = KeyCode;
constexpr std::array<KeyEntry, 113> kKeys{{
    {K::a, "A"}, {K::s, "S"}, {K::d, "D"}, {K::f, "F"}, {K::h, "H"}, {K::g, "G"}, {K::z, "Z"},
    {K::x, "X"}, {K::c, "C"}, {K::v, "V"}, {K::b, "B"}, {K::q, "Q"}, {K::w, "W"}, {K::e, "E"},
    {K::r, "R"}, {K::y, "Y"}, {K::t, "T"}, {K::one, "1"}, {K::two, "2"}, {K::three, "3"},
    {K::four, "4"}, {K::six, "6"}, {K::five, "5"}, {K::equal, "="}, {K::nine, "9"}, {K::seven, "7"},
    {K::minus, "-"}, {K::eight, "8"}, {K::zero, "0"}, {K::rightBracket, "]"}, {K::o, "O"},
    {K::u, "U"}, {K::leftBracket, "["}, {K::i, "I"}, {K::p, "P"}, {K::l, "L"}, {K::j, "J"},
    {K::quote, "'"}, {K::k, "K"}, {K::semicolon, ";"}, {K::backslash, "\\"}, {K::comma, ","},
    {K::slash, "/"}, {K::n, "N"}, {K::m, "M"}, {K::period, "."}, {K::grave, "`"},
    {K::keypadDecimal, "Keypad ."}, {K::keypadMultiply, "Keypad *"}, {K::keypadPlus, "Keypad +"},
    {K::keypadClear, "Keypad Clear"}, {K::keypadDivide, "Keypad /"}, {K::keypadEnter, "Keypad Enter"},
    {K::keypadMinus, "Keypad -"}, {K::keypadEquals, "Keypad ="}, {K::keypad0, "Keypad 0"},
    {K::keypad1, "Keypad 1"}, {K::keypad2, "Keypad 2"}, {K::keypad3, "Keypad 3"},
    {K::keypad4, "Keypad 4"}, {K::keypad5, "Keypad 5"}, {K::keypad6, "Keypad 6"},
    {K::keypad7, "Keypad 7"}, {K::keypad8, "Keypad 8"}, {K::keypad9, "Keypad 9"},
    {K::returnKey, "Return"}, {K::tab, "Tab"}, {K::space, "Space"}, {K::deleteKey, "Delete"},
    {K::escape, "Esc"}, {K::command, "Command"}, {K::shift, "Shift"}, {K::capsLock, "Caps Lock"},
    {K::option, "Option"}, {K::control, "Control"}, {K::rightCommand, "Right Command"},
    {K::rightShift, "Right Shift"}, {K::rightOption, "Right Option"},
    {K::rightControl, "Right Control"}, {K::function, "Fn"}, {K::f17, "F17"},
    {K::volumeUp, "Volume Up"}, {K::volumeDown, "Volume Down"}, {K::mute, "Mute"}, {K::f18, "F18"},
    {K::f19, "F19"}, {K::f20, "F20"}, {K::f5, "F5"}, {K::f6, "F6"}, {K::f7, "F7"}, {K::f3, "F3"},
    {K::f8, "F8"}, {K::f9, "F9"}, {K::f11, "F11"}, {K::f13, "F13"}, {K::f16, "F16"},
    {K::f14, "F14"}, {K::f10, "F10"}, {K::f12, "F12"}, {K::f15, "F15"}, {K::help, "Help"},
    {K::home, "Home"}, {K::pageUp, "Page Up"}, {K::forwardDelete, "Forward Delete"}, {K::f4, "F4"},
    {K::end, "End"}, {K::f2, "F2"}, {K::pageDown, "Page Down"}, {K::f1, "F1"},
    {K::leftArrow, "\u2190"}, {K::rightArrow, "\u2192"}, {K::downArrow, "\u2193"},
    {K::upArrow, "\u2191"},
}};

constexpr std::array<KeyCode, kKeys.size()> keyList()
{
    std::array<KeyCode, kKeys.size()> keys{};
    for (std::size_t index = 0; index < kKeys.size(); ++index)
        keys[index] = kKeys[index].key;
    return keys;
}
constexpr auto kKeyList = keyList();

const KeyEntry* findEntry(int rawValue)
{
    const auto it = std::find_if(kKeys.begin(), kKeys.end(),
                                 [rawValue](const KeyEntry& entry) { return static_cast<int>(entry.key) == rawValue; });
    return it == kKeys.end() ? nullptr : &*it;
}

} // namespace

std::optional<KeyCode> keyCodeFromRaw(int rawValue)
{
    if (const KeyEntry* entry = findEntry(rawValue))
        return entry->key;
    return std::nullopt;
}

QString displayName(KeyCode key)
{
    const KeyEntry* entry = findEntry(static_cast<int>(key));
    return entry ? QString::fromUtf8(entry->name) : QString();
}

std::span<const KeyCode> allKeyCodes() { return kKeyList; }

} // namespace velnor
