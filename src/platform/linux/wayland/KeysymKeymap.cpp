#include "platform/linux/wayland/KeysymKeymap.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace velnor::wayland {

namespace {

// The modifier a keysym's key sets, for the map's modifier_map lines.
const char* modifierOf(xkb_keysym_t keysym)
{
    switch (keysym) {
    case XKB_KEY_Shift_L:
    case XKB_KEY_Shift_R:
        return "Shift";
    case XKB_KEY_Control_L:
    case XKB_KEY_Control_R:
        return "Control";
    case XKB_KEY_Alt_L:
    case XKB_KEY_Alt_R:
        return "Mod1";
    case XKB_KEY_Super_L:
    case XKB_KEY_Super_R:
        return "Mod4";
    default:
        return nullptr;
    }
}

QByteArray keyName(xkb_keycode_t keycode)
{
    return "<K" + QByteArray::number(keycode) + '>';
}

} // namespace

KeysymKeymap::KeysymKeymap(const QList<xkb_keysym_t>& keysyms)
{
    for (const xkb_keysym_t keysym : keysyms) {
        char name[64];
        if (keysym != XKB_KEY_NoSymbol && !m_keysyms.contains(keysym) && xkb_keysym_get_name(keysym, name, sizeof name) > 0)
            m_keysyms.append(keysym);
    }
    const auto last = static_cast<xkb_keycode_t>(kFirstKeycode + std::max<qsizetype>(m_keysyms.size(), 1) - 1);
    QByteArray keycodes = "xkb_keycodes \"velnor\" {\n  minimum = 8;\n  maximum = " + QByteArray::number(last) + ";\n";
    QByteArray symbols = "xkb_symbols \"velnor\" {\n";
    for (qsizetype i = 0; i < m_keysyms.size(); ++i) {
        const auto code = static_cast<xkb_keycode_t>(kFirstKeycode + i);
        char name[64];
        xkb_keysym_get_name(m_keysyms[i], name, sizeof name);
        keycodes += "  " + keyName(code) + " = " + QByteArray::number(code) + ";\n";
        symbols += "  key " + keyName(code) + " { [ " + QByteArray(name) + " ] };\n";
        if (const char* modifier = modifierOf(m_keysyms[i]))
            symbols += "  modifier_map " + QByteArray(modifier) + " { " + keyName(code) + " };\n";
    }
    m_text = "xkb_keymap {\n" + keycodes + "};\n"
           + "xkb_types \"velnor\" { include \"complete\" };\n"
           + "xkb_compatibility \"velnor\" { include \"complete\" };\n" + symbols + "};\n};\n";
}

std::optional<xkb_keycode_t> KeysymKeymap::keycodeFor(xkb_keysym_t keysym) const
{
    const qsizetype index = m_keysyms.indexOf(keysym);
    if (index < 0)
        return std::nullopt;
    return static_cast<xkb_keycode_t>(kFirstKeycode + index);
}

} // namespace velnor::wayland
