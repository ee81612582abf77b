#pragma once

#include <QByteArray>
#include <QList>

#include <xkbcommon/xkbcommon.h>

#include <optional>

namespace velnor::wayland {

// A keyboard layout made for synthetic keys: one key per keysym, modifier
// keysyms bound to their modifiers. Uploaded with a virtual keyboard, it
// makes "v" type v whatever layout the user has.
class KeysymKeymap final {
public:
    explicit KeysymKeymap(const QList<xkb_keysym_t>& keysyms);

    // The layout in XKB text form (xkb_keymap_new_from_string).
    QByteArray text() const { return m_text; }
    // The XKB key code that types `keysym`; none when it is not in the map.
    std::optional<xkb_keycode_t> keycodeFor(xkb_keysym_t keysym) const;

    // Key codes start here: XKB codes are Linux input codes + 8, and the
    // virtual keyboard protocol takes the Linux code.
    static constexpr xkb_keycode_t kFirstKeycode = 9;
    static constexpr xkb_keycode_t kEvdevOffset = 8;

private:
    QList<xkb_keysym_t> m_keysyms;
    QByteArray m_text;
};

} // namespace velnor::wayland
