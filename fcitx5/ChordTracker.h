#pragma once

#include "ChordBits.h"

#include <cstdint>
#include <set>

namespace velnor::fcitx5addon {

// Follows the modifier keys of one keyboard (X keycodes, by position on a PC
// keyboard, as the app's X11 key source reads them: right Control is Fn,
// Super is Command, Alt is Option, AltGr is right Option) and tells when the
// configured modifier-only chord goes down and up. A right-side bit counts
// only when the event's own key is that right-side key.
class ChordTracker {
public:
    struct Change {
        bool modifierEvent = false; // the key is a modifier: `mask` is new
        std::uint32_t mask = 0;     // the modifier set after the event
        bool chordDown = false;     // the chord matched exactly now
        bool chordUp = false;       // a key of the active chord was released
    };

    void setChord(std::uint32_t chord) { m_chord = chord; }
    std::uint32_t chord() const { return m_chord; }
    bool isChordActive() const { return m_active; }
    // The modifier keys held now (X keycodes).
    const std::set<std::uint32_t>& heldKeys() const { return m_held; }

    // The modifier state an event carries (held before it), as far as it
    // matters here.
    struct State {
        bool shift = false;
        bool control = false;
        bool alt = false;
        bool super = false;
        bool capsLocked = false;
    };

    // One key event of whichever input context has the focus: the keyboard
    // is one, so a chord may start in one field and end in another.
    Change handleKey(std::uint32_t xKeycode, bool release, State state);

private:
    void forgetKeysReleasedElsewhere(std::uint32_t eventKey, State state);

    std::uint32_t m_chord = 0;
    std::set<std::uint32_t> m_held;
    std::uint32_t m_mask = 0;
    bool m_active = false;
};

} // namespace velnor::fcitx5addon
