#pragma once

#include <QtGlobal>

#include <functional>

namespace velnor {

// Device-independent modifier flags of a key event: which modifiers are held
// (or locked, for Caps Lock) at the moment of the event. Sides are not told
// apart here; the event's key code tells which key changed.
namespace EventModifier {
inline constexpr quint32 Command = 1u << 0;
inline constexpr quint32 Option = 1u << 1;
inline constexpr quint32 Control = 1u << 2;
inline constexpr quint32 Shift = 1u << 3;
inline constexpr quint32 Function = 1u << 4;
inline constexpr quint32 CapsLock = 1u << 5;
} // namespace EventModifier

enum class GlobalKeyEventType { KeyDown, KeyUp, FlagsChanged };

struct GlobalKeyEvent {
    GlobalKeyEventType type = GlobalKeyEventType::KeyDown;
    // The app's virtual key code (the values of `KeyCode`); for a flag change
    // the modifier key whose state changed. -1 when the key has no code.
    int keyCode = -1;
    quint32 modifierFlags = 0;
    // The keyboard that produced the event, as `KeyboardDevices` knows it;
    // 0 when unknown.
    int sourceDevice = 0;
};

// System-wide key down, key up and modifier changes, whichever application
// has the focus. Events arrive on the thread that called start().
class GlobalKeySource {
public:
    using Handler = std::function<void(const GlobalKeyEvent&)>;

    GlobalKeySource() = default;
    virtual ~GlobalKeySource() = default;
    GlobalKeySource(const GlobalKeySource&) = delete;
    GlobalKeySource& operator=(const GlobalKeySource&) = delete;

    virtual bool isAvailable() const = 0;
    // False (and no events) when the system refuses to report keys.
    virtual bool start(Handler handler) = 0;
    virtual void stop() = 0;
    // Whether another client holds the keyboard right now (a screen locker,
    // an open menu): keys the user types belong to it, not to a hotkey.
    virtual bool isKeyboardGrabbedElsewhere() = 0;
};

} // namespace velnor
