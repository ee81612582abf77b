#include "platform/linux/fcitx5/Fcitx5KeySource.h"

#include "ChordBits.h"
#include "keyboard/ModifierKey.h"
#include "platform/linux/fcitx5/Fcitx5Bridge.h"

namespace velnor::fcitx5 {

namespace {
using namespace velnor::fcitx5addon;

// The addon is built without Qt, so it keeps its own copy of the bits it
// sends on the bus; they must stay the app's hotkey vocabulary.
static_assert(ChordBit::Command == ModifierKey::CommandBit && ChordBit::Shift == ModifierKey::ShiftBit
              && ChordBit::CapsLock == ModifierKey::CapsLockBit && ChordBit::Option == ModifierKey::OptionBit
              && ChordBit::Control == ModifierKey::ControlBit && ChordBit::Function == ModifierKey::FunctionBit
              && ChordBit::RightShift == ModifierKey::RightShiftBit
              && ChordBit::RightOption == ModifierKey::RightOptionBit
              && ChordBit::RightCommand == ModifierKey::RightCommandBit);

// The app's virtual key codes of the right-side modifier keys.
constexpr int RightCommandKey = 54;
constexpr int RightShiftKey = 60;
constexpr int RightOptionKey = 61;
} // namespace

Fcitx5KeySource::Fcitx5KeySource(Fcitx5Bridge& bridge) : m_bridge(bridge) {}

Fcitx5KeySource::~Fcitx5KeySource() { stop(); }

bool Fcitx5KeySource::isAvailable() const { return m_bridge.state() == AddonState::Connected; }

bool Fcitx5KeySource::start(Handler handler)
{
    stop();
    m_connection = QObject::connect(&m_bridge, &Fcitx5Bridge::modifiersChanged,
                                    [handler = std::move(handler)](quint32 modifiers) { handler(eventFor(modifiers)); });
    return true;
}

void Fcitx5KeySource::stop() { QObject::disconnect(m_connection); }

GlobalKeyEvent Fcitx5KeySource::eventFor(quint32 modifiers)
{
    GlobalKeyEvent event{GlobalKeyEventType::FlagsChanged, -1, 0, 0};
    const auto has = [modifiers](std::uint32_t bits) { return (modifiers & bits) != 0; };
    if (has(ChordBit::Command | ChordBit::RightCommand))
        event.modifierFlags |= EventModifier::Command;
    if (has(ChordBit::Option | ChordBit::RightOption))
        event.modifierFlags |= EventModifier::Option;
    if (has(ChordBit::Control))
        event.modifierFlags |= EventModifier::Control;
    if (has(ChordBit::Shift | ChordBit::RightShift))
        event.modifierFlags |= EventModifier::Shift;
    if (has(ChordBit::Function))
        event.modifierFlags |= EventModifier::Function;
    if (has(ChordBit::CapsLock))
        event.modifierFlags |= EventModifier::CapsLock;
    // Only the key of the event itself carries a right-side bit.
    if (has(ChordBit::RightCommand))
        event.keyCode = RightCommandKey;
    else if (has(ChordBit::RightShift))
        event.keyCode = RightShiftKey;
    else if (has(ChordBit::RightOption))
        event.keyCode = RightOptionKey;
    return event;
}

} // namespace velnor::fcitx5
