#include "keyboard/ModifierKey.h"

#include "keyboard/KeyCode.h"
#include "platform/GlobalKeySource.h"

namespace velnor {

ModifierKey modifierKeyFromEventFlags(quint32 eventFlags, int keyCode)
{
    const auto is = [keyCode](KeyCode key) { return keyCode == static_cast<int>(key); };
    ModifierKey result;
    if (eventFlags & EventModifier::Command)
        result = result | (is(KeyCode::rightCommand) ? ModifierKey::rightCommand() : ModifierKey::command());
    if (eventFlags & EventModifier::Option)
        result = result | (is(KeyCode::rightOption) ? ModifierKey::rightOption() : ModifierKey::option());
    if (eventFlags & EventModifier::Control)
        result = result | (is(KeyCode::rightControl) ? ModifierKey::function() : ModifierKey::control());
    if (eventFlags & EventModifier::Shift)
        result = result | (is(KeyCode::rightShift) ? ModifierKey::rightShift() : ModifierKey::shift());
    if (eventFlags & EventModifier::Function)
        result = result | ModifierKey::function();
    if (eventFlags & EventModifier::CapsLock)
        result = result | ModifierKey::capsLock();
    return result;
}

} // namespace velnor
