#pragma once

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace velnor::x11 {

// Owners for xkbcommon objects (X11 and Wayland key synthesis both compile
// keymaps with it).
struct XkbContextFree {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct XkbKeymapFree {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct XkbStateFree {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
using XkbContext = std::unique_ptr<xkb_context, XkbContextFree>;
using XkbKeymap = std::unique_ptr<xkb_keymap, XkbKeymapFree>;
using XkbState = std::unique_ptr<xkb_state, XkbStateFree>;

} // namespace velnor::x11
