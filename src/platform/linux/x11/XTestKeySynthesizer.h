#pragma once

#include "platform/KeySynthesizer.h"
#include "platform/linux/x11/XcbHandles.h"

#include <QByteArray>

#include <cstdint>
#include <functional>

namespace velnor::x11 {

// Synthetic keys through XTest on a connection of its own. Key codes are
// looked up by keysym in the keyboard layout active when the event source is
// made, so a Dvorak user's paste is Ctrl + the key that types "v".
class XTestKeySynthesizer final : public KeySynthesizer {
public:
    // Told of every key this process synthesises (X key code, press or
    // release) right before it is sent, so a global key listener can ignore it.
    using PostObserver = std::function<void(std::uint8_t keycode, bool keyDown)>;

    // An empty display name means $DISPLAY.
    explicit XTestKeySynthesizer(const QByteArray& displayName = {});
    ~XTestKeySynthesizer() override;

    bool isAvailable() const override { return m_available; }
    bool isModifierHeld() const override;
    std::shared_ptr<KeyEventSource> createEventSource() override;

    void setPostObserver(PostObserver observer) { m_observer = std::move(observer); }

private:
    // Shared with the event sources, which may outlive a retry loop's owner.
    std::shared_ptr<xcb_connection_t> m_connection;
    bool m_available = false;
    PostObserver m_observer;
};

} // namespace velnor::x11
