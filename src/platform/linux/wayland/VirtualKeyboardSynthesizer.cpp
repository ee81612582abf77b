#include "platform/linux/wayland/VirtualKeyboardSynthesizer.h"

#include "platform/linux/wayland/KeysymKeymap.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/x11/VirtualKeysyms.h"
#include "platform/linux/x11/XkbHandles.h"

#include "protocols/virtual-keyboard-unstable-v1-client.h"

#include <QElapsedTimer>

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

namespace velnor::wayland {

namespace {


// Every keysym a synthetic key of the app can need.
QList<xkb_keysym_t> pasteKeysyms()
{
    QList<xkb_keysym_t> keysyms;
    for (const int key : {VirtualKey::V, VirtualKey::Return, VirtualKey::LeftShift, VirtualKey::LeftControl,
                          VirtualKey::Insert}) {
        if (const auto keysym = x11::keysymForVirtualKey(key))
            keysyms.append(*keysym);
    }
    return keysyms;
}

} // namespace

// The one virtual keyboard and its layout; shared with the event sources.
class VirtualKeyboardSynthesizer::Keyboard final {
public:
    explicit Keyboard(WaylandConnection& connection)
        : m_connection(connection)
        , m_keymap(pasteKeysyms())
    {
        const Globals& globals = connection.globals();
        const x11::XkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
        if (!context)
            return;
        m_xkbKeymap.reset(xkb_keymap_new_from_string(context.get(), m_keymap.text().constData(),
                                                     XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (!m_xkbKeymap)
            return;
        m_state.reset(xkb_state_new(m_xkbKeymap.get()));
        m_keyboard.reset(zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals.virtualKeyboard, globals.seat));
        m_clock.start();
        m_ready = m_state && m_keyboard && uploadKeymap() && connection.roundtrip();
    }

    bool isReady() const { return m_ready && m_connection.isConnected(); }
    bool hasKey(xkb_keysym_t keysym) const { return m_keymap.keycodeFor(keysym).has_value(); }

    void post(xkb_keysym_t keysym, bool keyDown)
    {
        const auto keycode = m_keymap.keycodeFor(keysym);
        if (!keycode || !isReady())
            return;
        zwp_virtual_keyboard_v1_key(m_keyboard.get(), static_cast<std::uint32_t>(m_clock.elapsed()),
                                    *keycode - KeysymKeymap::kEvdevOffset,
                                    keyDown ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        // The compositor passes on the modifier state we state, not one it
        // derives from our keys.
        xkb_state_update_key(m_state.get(), *keycode, keyDown ? XKB_KEY_DOWN : XKB_KEY_UP);
        zwp_virtual_keyboard_v1_modifiers(m_keyboard.get(), xkb_state_serialize_mods(m_state.get(), XKB_STATE_MODS_DEPRESSED),
                                          xkb_state_serialize_mods(m_state.get(), XKB_STATE_MODS_LATCHED),
                                          xkb_state_serialize_mods(m_state.get(), XKB_STATE_MODS_LOCKED),
                                          xkb_state_serialize_layout(m_state.get(), XKB_STATE_LAYOUT_EFFECTIVE));
        m_connection.flush();
    }

private:
    bool uploadKeymap()
    {
        const QByteArray text = m_keymap.text();
        const FileDescriptor file(memfd_create("velnor-keymap", MFD_CLOEXEC));
        const int fd = file.fd;
        if (fd < 0)
            return false;
        // The compositor maps the size given, terminating NUL included.
        const auto size = static_cast<std::size_t>(text.size()) + 1;
        if (::write(fd, text.constData(), size) != static_cast<ssize_t>(size))
            return false;
        zwp_virtual_keyboard_v1_keymap(m_keyboard.get(), WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       static_cast<std::uint32_t>(size));
        return true;
    }

    WaylandConnection& m_connection;
    KeysymKeymap m_keymap;
    x11::XkbKeymap m_xkbKeymap;
    x11::XkbState m_state;
    Owned<zwp_virtual_keyboard_v1, zwp_virtual_keyboard_v1_destroy> m_keyboard;
    QElapsedTimer m_clock;
    bool m_ready = false;
};

namespace {

class VirtualKeyEventSource final : public KeyEventSource {
public:
    explicit VirtualKeyEventSource(std::shared_ptr<VirtualKeyboardSynthesizer::Keyboard> keyboard)
        : m_keyboard(std::move(keyboard))
    {
    }

    std::optional<SyntheticKeyEvent> createKeyboardEvent(int virtualKey, bool keyDown) override
    {
        const auto keysym = x11::keysymForVirtualKey(virtualKey);
        if (!keysym || !m_keyboard->hasKey(*keysym))
            return std::nullopt;
        return SyntheticKeyEvent{virtualKey, keyDown};
    }

    void post(const SyntheticKeyEvent& event) override
    {
        if (const auto keysym = x11::keysymForVirtualKey(event.virtualKey))
            m_keyboard->post(*keysym, event.keyDown);
    }

private:
    const std::shared_ptr<VirtualKeyboardSynthesizer::Keyboard> m_keyboard;
};

} // namespace

VirtualKeyboardSynthesizer::VirtualKeyboardSynthesizer(WaylandConnection& connection)
    : m_connection(connection)
{
}

VirtualKeyboardSynthesizer::~VirtualKeyboardSynthesizer() = default;

bool VirtualKeyboardSynthesizer::isAvailable() const
{
    return m_connection.isConnected() && m_connection.globals().virtualKeyboard && m_connection.globals().seat;
}

std::shared_ptr<KeyEventSource> VirtualKeyboardSynthesizer::createEventSource()
{
    if (!isAvailable())
        return nullptr;
    if (!m_keyboard || !m_keyboard->isReady())
        m_keyboard = std::make_shared<Keyboard>(m_connection);
    if (!m_keyboard->isReady())
        return nullptr;
    return std::make_shared<VirtualKeyEventSource>(m_keyboard);
}

} // namespace velnor::wayland
