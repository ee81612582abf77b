#pragma once

#include "platform/linux/x11/XcbHandles.h"

#include <xcb/xtest.h>

#include <cstdint>
#include <initializer_list>

namespace velnor::test {

// Presses keys on the X server the way a user would, through XTest, on a
// connection of its own.
class XTestKeys final {
public:
    // No display name: $DISPLAY.
    explicit XTestKeys(const char* display = nullptr)
        : m_connection(xcb_connect(display, nullptr))
    {
        if (isConnected())
            m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection.get())).data->root;
    }

    bool isConnected() const { return !xcb_connection_has_error(m_connection.get()); }
    xcb_connection_t* connection() const { return m_connection.get(); }

    void press(std::uint8_t xKeycode) { post(XCB_KEY_PRESS, xKeycode); }
    void release(std::uint8_t xKeycode) { post(XCB_KEY_RELEASE, xKeycode); }
    // Presses the keys in order, then releases them in the given order.
    void chord(std::initializer_list<std::uint8_t> down, std::initializer_list<std::uint8_t> up)
    {
        for (const std::uint8_t key : down)
            press(key);
        for (const std::uint8_t key : up)
            release(key);
    }

    // Whether another client holds the keyboard grab (an open popup menu does):
    // a grab of our own fails then. The ungrab goes out with the grab, so a
    // grab that succeeds is held for no longer than the server takes to read
    // both, and cannot steal the keyboard from a menu that is still opening.
    bool keyboardGrabbedElsewhere()
    {
        const auto cookie =
            xcb_grab_keyboard(m_connection.get(), 0, m_root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_ungrab_keyboard(m_connection.get(), XCB_CURRENT_TIME);
        const x11::XcbReply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(m_connection.get(), cookie, nullptr));
        return reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    }

private:
    void post(std::uint8_t type, std::uint8_t xKeycode)
    {
        xcb_test_fake_input(m_connection.get(), type, xKeycode, XCB_CURRENT_TIME, m_root, 0, 0, 0);
        xcb_flush(m_connection.get());
    }

    x11::XcbConnection m_connection;
    xcb_window_t m_root = XCB_WINDOW_NONE;
};

// X keycodes (evdev + 8) the tests press.
namespace XKey {
inline constexpr std::uint8_t LeftControl = 37;
inline constexpr std::uint8_t RightControl = 105;
inline constexpr std::uint8_t LeftShift = 50;
inline constexpr std::uint8_t LeftAlt = 64;
inline constexpr std::uint8_t CapsLock = 66;
inline constexpr std::uint8_t RightSuper = 134;
inline constexpr std::uint8_t LetterA = 38;
inline constexpr std::uint8_t Return = 36;
inline constexpr std::uint8_t Down = 116;
} // namespace XKey

} // namespace velnor::test
