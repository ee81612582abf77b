#pragma once

#include <memory>
#include <optional>

namespace velnor {

// Virtual key codes as the app names them (the reference platform's codes);
// each backend maps them to its own key codes.
namespace VirtualKey {
inline constexpr int V = 0x09;
inline constexpr int Return = 0x24;
inline constexpr int LeftShift = 0x38;
inline constexpr int LeftControl = 0x3B;
// The reference keyboard's Help key sits where PC keyboards have Insert.
inline constexpr int Insert = 0x72;
} // namespace VirtualKey

struct SyntheticKeyEvent {
    int virtualKey = 0;
    bool keyDown = false;
    bool operator==(const SyntheticKeyEvent&) const = default;
};

// A source of synthetic keyboard events; events are created first, then posted.
class KeyEventSource {
public:
    KeyEventSource() = default;
    virtual ~KeyEventSource() = default;
    KeyEventSource(const KeyEventSource&) = delete;
    KeyEventSource& operator=(const KeyEventSource&) = delete;

    // None when the key cannot be expressed on this system.
    virtual std::optional<SyntheticKeyEvent> createKeyboardEvent(int virtualKey, bool keyDown) = 0;
    // Goes to whatever application has the keyboard focus.
    virtual void post(const SyntheticKeyEvent& event) = 0;
};

class KeySynthesizer {
public:
    KeySynthesizer() = default;
    virtual ~KeySynthesizer() = default;
    KeySynthesizer(const KeySynthesizer&) = delete;
    KeySynthesizer& operator=(const KeySynthesizer&) = delete;

    virtual bool isAvailable() const = 0;
    // Whether the user holds a modifier key (Shift, Control, Alt, Super…)
    // right now: a synthetic chord must wait until they are up.
    virtual bool isModifierHeld() const = 0;
    // None when no event source can be made (no display, no XTest).
    virtual std::shared_ptr<KeyEventSource> createEventSource() = 0;
};

} // namespace velnor
