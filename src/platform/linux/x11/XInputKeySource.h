#pragma once

#include "platform/GlobalKeySource.h"
#include "platform/linux/x11/XInputConnection.h"

#include <QByteArray>
#include <QSet>

#include <cstdint>
#include <memory>

namespace velnor::x11 {

class SyntheticKeyEchoes;

// System-wide keys from XInput 2 raw key events on the root window, on a
// connection of its own woken by a socket notifier (no polling, no grab).
// Modifier flags come from the set of held modifier keys; Caps Lock from the
// XKB lock state.
class XInputKeySource final : public GlobalKeySource {
public:
    // `display` null means $DISPLAY; `ownEchoes` (may be null) names the XTest
    // events this process posted, which are not reported.
    explicit XInputKeySource(QByteArray display = {}, SyntheticKeyEchoes* ownEchoes = nullptr);
    ~XInputKeySource() override;

    bool isAvailable() const override;
    bool start(Handler handler) override;
    void stop() override;
    // Probes with a grab of our own, released in the same request batch: it
    // fails while another client holds the keyboard. One round trip.
    bool isKeyboardGrabbedElsewhere() override;

private:
    void onEvent(const xcb_generic_event_t& event);
    void onRawKey(std::uint32_t xKeycode, int sourceDevice, bool press);
    void onLockedModifiers(std::uint8_t lockedMods);
    void emitEvent(GlobalKeyEventType type, int keyCode, int sourceDevice);
    std::uint32_t currentFlags() const;

    QByteArray m_display;
    SyntheticKeyEchoes* m_ownEchoes;
    std::unique_ptr<XInputConnection> m_connection;
    Handler m_handler;
    std::uint8_t m_xkbFirstEvent = 0;
    QSet<int> m_xtestKeyboards;
    // Held modifier keys (X keycode → EventModifier flag).
    QHash<std::uint32_t, std::uint32_t> m_heldModifiers;
    bool m_capsLocked = false;
    int m_lastSourceDevice = 0;
};

} // namespace velnor::x11
