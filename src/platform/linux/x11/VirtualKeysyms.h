#pragma once

#include "platform/KeySynthesizer.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <cstdint>
#include <optional>

namespace velnor::x11 {

// The keysym a synthetic key types (X11 and Wayland key synthesis look the
// key up by keysym, so any layout types the right character).
inline std::optional<std::uint32_t> keysymForVirtualKey(int virtualKey)
{
    switch (virtualKey) {
    case VirtualKey::V:
        return XKB_KEY_v;
    case VirtualKey::Return:
        return XKB_KEY_Return;
    case VirtualKey::LeftShift:
        return XKB_KEY_Shift_L;
    case VirtualKey::LeftControl:
        return XKB_KEY_Control_L;
    case VirtualKey::Insert:
        return XKB_KEY_Insert;
    default:
        return std::nullopt;
    }
}

} // namespace velnor::x11
