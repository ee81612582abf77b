#include "platform/linux/x11/XTestKeySynthesizer.h"

#include "platform/linux/x11/VirtualKeysyms.h"
#include "platform/linux/x11/XkbHandles.h"

#include <QByteArray>
#include <QHash>

#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <optional>

namespace velnor::x11 {

namespace {


// Key codes that type each keysym on the first shift level, preferring the
// active layout; a key missing there (a Cyrillic layout has no "v") comes
// from the first layout that has it, as toolkits match shortcuts that way.
QHash<xkb_keysym_t, xkb_keycode_t> keycodesByKeysym(xcb_connection_t* connection)
{
    QHash<xkb_keysym_t, xkb_keycode_t> keycodes;
    const XkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    if (!context || device < 0)
        return keycodes;
    const XkbKeymap keymap(
        xkb_x11_keymap_new_from_device(context.get(), connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return keycodes;
    const XkbState state(
        xkb_x11_state_new_from_device(keymap.get(), connection, device));
    const xkb_layout_index_t active =
        state ? xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE) : 0;
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts(keymap.get());

    auto scan = [&](xkb_layout_index_t layout) {
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap.get()); code <= xkb_keymap_max_keycode(keymap.get());
             ++code) {
            const xkb_keysym_t* syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap.get(), code, layout, 0, &syms);
            for (int i = 0; i < count; ++i) {
                if (!keycodes.contains(syms[i]))
                    keycodes.insert(syms[i], code);
            }
        }
    };
    scan(active);
    for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
        if (layout != active)
            scan(layout);
    }
    return keycodes;
}

class XTestKeyEventSource final : public KeyEventSource {
public:
    XTestKeyEventSource(std::shared_ptr<xcb_connection_t> connection, QHash<xkb_keysym_t, xkb_keycode_t> keycodes,
                        XTestKeySynthesizer::PostObserver observer)
        : m_connection(std::move(connection))
        , m_keycodes(std::move(keycodes))
        , m_observer(std::move(observer))
    {
    }

    std::optional<SyntheticKeyEvent> createKeyboardEvent(int virtualKey, bool keyDown) override
    {
        const auto keysym = keysymForVirtualKey(virtualKey);
        if (!keysym || !m_keycodes.contains(*keysym) || m_keycodes.value(*keysym) > 255)
            return std::nullopt;
        return SyntheticKeyEvent{virtualKey, keyDown};
    }

    void post(const SyntheticKeyEvent& event) override
    {
        const auto keysym = keysymForVirtualKey(event.virtualKey);
        if (!keysym || !m_keycodes.contains(*keysym))
            return;
        const auto keycode = static_cast<std::uint8_t>(m_keycodes.value(*keysym));
        if (m_observer)
            m_observer(keycode, event.keyDown);
        xcb_test_fake_input(m_connection.get(), event.keyDown ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME,
                            XCB_NONE, 0, 0, 0);
        xcb_flush(m_connection.get());
    }

private:
    const std::shared_ptr<xcb_connection_t> m_connection;
    const QHash<xkb_keysym_t, xkb_keycode_t> m_keycodes;
    const XTestKeySynthesizer::PostObserver m_observer;
};

} // namespace

XTestKeySynthesizer::XTestKeySynthesizer(const QByteArray& displayName)
    : m_connection(xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), nullptr), XcbDisconnect())
{
    if (xcb_connection_has_error(m_connection.get()))
        return;
    const XcbReply<xcb_test_get_version_reply_t> version(
        xcb_test_get_version_reply(m_connection.get(), xcb_test_get_version(m_connection.get(), 2, 2), nullptr));
    const bool xkb = xkb_x11_setup_xkb_extension(m_connection.get(), XKB_X11_MIN_MAJOR_XKB_VERSION,
                                                 XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS,
                                                 nullptr, nullptr, nullptr, nullptr) == 1;
    m_available = version != nullptr && xkb;
}

XTestKeySynthesizer::~XTestKeySynthesizer() = default;

bool XTestKeySynthesizer::isModifierHeld() const
{
    if (!m_available)
        return false;
    xcb_connection_t* connection = m_connection.get();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const XcbReply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, screen->root), nullptr));
    if (!pointer)
        return false;
    // Lock (Caps Lock) and Mod2 (Num Lock) are latched states, not held keys.
    constexpr std::uint16_t held = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_3
                                   | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;
    return (pointer->mask & held) != 0;
}

std::shared_ptr<KeyEventSource> XTestKeySynthesizer::createEventSource()
{
    if (!m_available)
        return nullptr;
    auto keycodes = keycodesByKeysym(m_connection.get());
    if (keycodes.isEmpty())
        return nullptr;
    return std::make_shared<XTestKeyEventSource>(m_connection, std::move(keycodes), m_observer);
}

} // namespace velnor::x11
