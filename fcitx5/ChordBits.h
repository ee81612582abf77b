#pragma once

#include <cstdint>

namespace velnor::fcitx5addon {

// The modifier bits of the app's hotkey vocabulary (the app's ModifierKey),
// as the addon and the app exchange them on the bus.
namespace ChordBit {
inline constexpr std::uint32_t Command = 0x100;
inline constexpr std::uint32_t Shift = 0x200;
inline constexpr std::uint32_t CapsLock = 0x400;
inline constexpr std::uint32_t Option = 0x800;
inline constexpr std::uint32_t Control = 0x1000;
inline constexpr std::uint32_t Function = 0x20000;
inline constexpr std::uint32_t RightShift = 0x40000;
inline constexpr std::uint32_t RightOption = 0x80000;
inline constexpr std::uint32_t RightCommand = 0x100000;
} // namespace ChordBit

} // namespace velnor::fcitx5addon
