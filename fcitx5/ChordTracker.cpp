#include "ChordTracker.h"

namespace velnor::fcitx5addon {
namespace {

enum class StateBit { Shift, Control, Alt, Super };

struct ModifierKeyMeaning {
    std::uint32_t leftBit = 0; // the bit while merely held
    std::uint32_t ownBit = 0;  // the bit when the event is this very key
    StateBit stateBit = StateBit::Shift;
};

bool stateHas(const ChordTracker::State& state, StateBit bit)
{
    switch (bit) {
    case StateBit::Shift: return state.shift;
    case StateBit::Control: return state.control;
    case StateBit::Alt: return state.alt;
    case StateBit::Super: return state.super;
    }
    return false;
}

// Evdev code + 8, whatever the layout.
const ModifierKeyMeaning* meaningOf(std::uint32_t xKeycode)
{
    using namespace ChordBit;
    static const ModifierKeyMeaning controlLeft{Control, Control, StateBit::Control},
        fnRightControl{Function, Function, StateBit::Control}, shiftLeft{Shift, Shift, StateBit::Shift},
        shiftRight{Shift, RightShift, StateBit::Shift}, optionLeft{Option, Option, StateBit::Alt},
        optionRight{Option, RightOption, StateBit::Alt}, commandLeft{Command, Command, StateBit::Super},
        commandRight{Command, RightCommand, StateBit::Super};
    switch (xKeycode) {
    case 37: return &controlLeft;
    case 105: return &fnRightControl;
    case 50: return &shiftLeft;
    case 62: return &shiftRight;
    case 64: return &optionLeft;
    case 108: return &optionRight;
    case 133: return &commandLeft;
    case 134: return &commandRight;
    default: return nullptr;
    }
}

} // namespace

ChordTracker::Change ChordTracker::handleKey(std::uint32_t xKeycode, bool release, State state)
{
    forgetKeysReleasedElsewhere(xKeycode, state);
    Change change;
    const ModifierKeyMeaning* meaning = meaningOf(xKeycode);
    if (!meaning)
        return change;
    const bool wasHeld = m_held.count(xKeycode) != 0;
    if (release == !wasHeld)
        return change; // auto-repeat, or a release whose press went elsewhere
    if (release)
        m_held.erase(xKeycode);
    else
        m_held.insert(xKeycode);

    std::uint32_t mask = state.capsLocked ? ChordBit::CapsLock : 0;
    for (const std::uint32_t held : m_held)
        mask |= meaningOf(held)->leftBit;
    // The event's own right-side key stands for its whole kind (left Shift
    // held while right Shift goes down is right Shift alone).
    if (!release && meaning->ownBit != meaning->leftBit)
        mask = (mask & ~meaning->leftBit) | meaning->ownBit;
    const std::uint32_t released = m_mask & ~mask;
    m_mask = mask;
    change.modifierEvent = true;
    change.mask = mask;
    if (m_chord != 0 && mask == m_chord) {
        m_active = true;
        change.chordDown = true;
    }
    if (m_active && released != 0 && ((mask | released) & m_chord) == m_chord && (m_chord & released) != 0) {
        m_active = false;
        change.chordUp = true;
    }
    return change;
}

void ChordTracker::forgetKeysReleasedElsewhere(std::uint32_t eventKey, State state)
{
    // A modifier released while no field of ours had the focus: the event's
    // state no longer holds it. (The state is the one before the event, so
    // the event's own key is judged by the event itself.)
    for (auto it = m_held.begin(); it != m_held.end();) {
        if (*it != eventKey && !stateHas(state, meaningOf(*it)->stateBit))
            it = m_held.erase(it);
        else
            ++it;
    }
}

} // namespace velnor::fcitx5addon
