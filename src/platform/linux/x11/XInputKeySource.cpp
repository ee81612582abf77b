#include "platform/linux/x11/XInputKeySource.h"

#include "platform/linux/x11/SyntheticKeyEchoes.h"
#include "platform/linux/x11/XInputQuery.h"
#include "platform/linux/x11/XKeycodeTable.h"

#include <xcb/xinput.h>
// xkb.h names a field "explicit", a C++ keyword.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

namespace velnor::x11 {
namespace {

constexpr int kCapsLockVirtualKey = 57;

// Caps Lock state from XKB; false when the server has no XKB.
std::optional<std::uint8_t> initXkb(xcb_connection_t* connection, std::uint8_t& firstEvent)
{
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (!extension || !extension->present)
        return std::nullopt;
    const XcbReply<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(
        connection, xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    if (!use || !use->supported)
        return std::nullopt;
    firstEvent = extension->first_event;
    xcb_xkb_select_events(connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_STATE_NOTIFY, 0,
                          XCB_XKB_EVENT_TYPE_STATE_NOTIFY, 0, 0, nullptr);
    const XcbReply<xcb_xkb_get_state_reply_t> state(
        xcb_xkb_get_state_reply(connection, xcb_xkb_get_state(connection, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    return state ? state->lockedMods : std::uint8_t(0);
}

} // namespace

XInputKeySource::XInputKeySource(QByteArray display, SyntheticKeyEchoes* ownEchoes)
    : m_display(std::move(display))
    , m_ownEchoes(ownEchoes)
{
}

XInputKeySource::~XInputKeySource() { stop(); }

bool XInputKeySource::isAvailable() const
{
    return (m_connection && m_connection->isOpen()) || XInputConnection::isAvailable(m_display);
}

bool XInputKeySource::start(Handler handler)
{
    stop();
    auto connection = std::make_unique<XInputConnection>(m_display);
    if (!connection->isOpen())
        return false;
    m_capsLocked = (initXkb(connection->get(), m_xkbFirstEvent).value_or(0) & XCB_MOD_MASK_LOCK) != 0;
    m_xtestKeyboards.clear();
    for (const XInputKeyboard& keyboard : querySlaveKeyboards(connection->get())) {
        if (isXTestKeyboardName(keyboard.name))
            m_xtestKeyboards.insert(keyboard.deviceId);
    }
    selectRootEvents(connection->get(), XCB_INPUT_DEVICE_ALL_MASTER,
                     XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE);
    xcb_flush(connection->get());

    m_connection = std::move(connection);
    m_handler = std::move(handler);
    m_heldModifiers.clear();
    m_connection->watch([this](const xcb_generic_event_t& event) { onEvent(event); },
                        [this] {
                            if (m_ownEchoes)
                                m_ownEchoes->listenerCaughtUp();
                        });
    return true;
}

void XInputKeySource::stop()
{
    m_connection.reset();
    m_handler = {};
}

bool XInputKeySource::isKeyboardGrabbedElsewhere()
{
    if (!m_connection)
        return false;
    xcb_connection_t* connection = m_connection->get();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    // The ungrab goes out with the grab: a probe that succeeds holds the
    // keyboard only while the server reads the two requests.
    const auto cookie = xcb_grab_keyboard(connection, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_ungrab_keyboard(connection, XCB_CURRENT_TIME);
    const XcbReply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(connection, cookie, nullptr));
    return reply && (reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED || reply->status == XCB_GRAB_STATUS_FROZEN);
}

void XInputKeySource::onEvent(const xcb_generic_event_t& event)
{
    const bool press = m_connection->isXInputEvent(event, XCB_INPUT_RAW_KEY_PRESS);
    if (press || m_connection->isXInputEvent(event, XCB_INPUT_RAW_KEY_RELEASE)) {
        const auto& raw = reinterpret_cast<const xcb_input_raw_key_press_event_t&>(event);
        onRawKey(raw.detail, raw.sourceid, press);
    } else if (m_xkbFirstEvent != 0 && (event.response_type & 0x7F) == m_xkbFirstEvent) {
        const auto& xkb = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
        if (xkb.xkbType == XCB_XKB_STATE_NOTIFY)
            onLockedModifiers(xkb.lockedMods);
    }
}

void XInputKeySource::onRawKey(std::uint32_t xKeycode, int sourceDevice, bool press)
{
    if (m_ownEchoes && m_xtestKeyboards.contains(sourceDevice) && m_ownEchoes->consume(xKeycode, press))
        return;
    m_lastSourceDevice = sourceDevice;
    const auto meaning = meaningOfXKeycode(xKeycode);
    if (meaning && meaning->virtualKey == kCapsLockVirtualKey)
        return; // reported when the XKB lock changes
    if (meaning && meaning->modifierFlag != 0) {
        const bool wasHeld = m_heldModifiers.contains(xKeycode);
        if (press == wasHeld)
            return; // auto-repeat, or a release we never saw pressed
        if (press)
            m_heldModifiers.insert(xKeycode, meaning->modifierFlag);
        else
            m_heldModifiers.remove(xKeycode);
        emitEvent(GlobalKeyEventType::FlagsChanged, meaning->virtualKey, sourceDevice);
        return;
    }
    emitEvent(press ? GlobalKeyEventType::KeyDown : GlobalKeyEventType::KeyUp, meaning ? meaning->virtualKey : -1,
              sourceDevice);
}

void XInputKeySource::onLockedModifiers(std::uint8_t lockedMods)
{
    const bool locked = (lockedMods & XCB_MOD_MASK_LOCK) != 0;
    if (locked == m_capsLocked)
        return;
    m_capsLocked = locked;
    emitEvent(GlobalKeyEventType::FlagsChanged, kCapsLockVirtualKey, m_lastSourceDevice);
}

void XInputKeySource::emitEvent(GlobalKeyEventType type, int keyCode, int sourceDevice)
{
    if (m_handler)
        m_handler(GlobalKeyEvent{type, keyCode, currentFlags(), sourceDevice});
}

std::uint32_t XInputKeySource::currentFlags() const
{
    std::uint32_t flags = m_capsLocked ? EventModifier::CapsLock : 0;
    for (const std::uint32_t flag : m_heldModifiers)
        flags |= flag;
    return flags;
}

} // namespace velnor::x11
