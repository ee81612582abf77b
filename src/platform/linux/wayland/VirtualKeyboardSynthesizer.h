#pragma once

#include "platform/KeySynthesizer.h"

#include <memory>

namespace velnor::wayland {

class WaylandConnection;

// Synthetic keys through the compositor's virtual-keyboard protocol (wlroots
// compositors): one virtual keyboard, made on first use, with a layout of its
// own holding the keysyms a paste needs, so the chord and the Enter type
// the same whatever layout the user has. They go to the focused client.
class VirtualKeyboardSynthesizer final : public KeySynthesizer {
public:
    explicit VirtualKeyboardSynthesizer(WaylandConnection& connection);
    ~VirtualKeyboardSynthesizer() override;

    bool isAvailable() const override;
    // A Wayland client never sees keys meant for other clients: the user's
    // held modifiers are unknown here, so none is assumed.
    bool isModifierHeld() const override { return false; }
    std::shared_ptr<KeyEventSource> createEventSource() override;

    class Keyboard;

private:
    WaylandConnection& m_connection;
    std::shared_ptr<Keyboard> m_keyboard;
};

} // namespace velnor::wayland
