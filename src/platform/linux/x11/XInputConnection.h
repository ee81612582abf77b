#pragma once

#include "platform/linux/x11/XcbHandles.h"

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace velnor::x11 {

// A connection of its own to the X server with XInput 2.2, whose incoming
// events wake the Qt event loop of the thread that watches it.
class XInputConnection final {
public:
    // `display` empty means $DISPLAY. isOpen() is false without a display or XI 2.2.
    explicit XInputConnection(const QByteArray& display);
    ~XInputConnection();
    XInputConnection(const XInputConnection&) = delete;
    XInputConnection& operator=(const XInputConnection&) = delete;

    static bool isAvailable(const QByteArray& display);

    bool isOpen() const { return m_opcode != 0; }
    xcb_connection_t* get() const { return m_connection.get(); }
    std::uint8_t xinputOpcode() const { return m_opcode; }

    // Calls `onEvent` for every event, now (for events XCB queued while
    // waiting for replies) and whenever the server sends more, then
    // `onCaughtUp` (may be empty) once nothing more is waiting. Stops
    // watching once the connection fails.
    void watch(std::function<void(const xcb_generic_event_t&)> onEvent, std::function<void()> onCaughtUp = {});
    // True when `event` is the XI2 generic event `eventType`.
    bool isXInputEvent(const xcb_generic_event_t& event, std::uint16_t eventType) const;

private:
    void readEvents();

    XcbConnection m_connection;
    std::uint8_t m_opcode = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void(const xcb_generic_event_t&)> m_onEvent;
    std::function<void()> m_onCaughtUp;
    std::shared_ptr<int> m_alive = std::make_shared<int>();
};

} // namespace velnor::x11
