#pragma once

#include <cstdint>
#include <optional>

namespace velnor::x11 {

// What a physical key means to the hotkey: its app virtual key code (the
// values of the keyboard subsystem's `KeyCode`) and, for a modifier key, the
// EventModifier flag it holds.
struct XKeyMeaning {
    int virtualKey = -1;
    std::uint32_t modifierFlag = 0;
};

// By position on a PC keyboard (evdev keycodes + 8), whatever the layout:
// Super is Command, Alt is Option, AltGr is right Option, and the right
// Control key is Fn (X never reports a laptop's Fn key).
std::optional<XKeyMeaning> meaningOfXKeycode(std::uint32_t xKeycode);

} // namespace velnor::x11
