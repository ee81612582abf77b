#pragma once

#include <QtGlobal>

#include <initializer_list>

namespace velnor {

// A set of modifier keys, left and right told apart where it matters.
struct ModifierKey {
    quint32 rawValue = 0;

    static constexpr quint32 CommandBit = 0x100;
    static constexpr quint32 ShiftBit = 0x200;
    static constexpr quint32 CapsLockBit = 0x400;
    static constexpr quint32 OptionBit = 0x800;
    static constexpr quint32 ControlBit = 0x1000;
    static constexpr quint32 FunctionBit = 0x20000;
    static constexpr quint32 RightShiftBit = 0x40000;
    static constexpr quint32 RightOptionBit = 0x80000;
    static constexpr quint32 RightCommandBit = 0x100000;

    static constexpr ModifierKey command() { return {CommandBit}; }
    static constexpr ModifierKey shift() { return {ShiftBit}; }
    static constexpr ModifierKey capsLock() { return {CapsLockBit}; }
    static constexpr ModifierKey option() { return {OptionBit}; }
    static constexpr ModifierKey control() { return {ControlBit}; }
    static constexpr ModifierKey function() { return {FunctionBit}; }
    static constexpr ModifierKey rightShift() { return {RightShiftBit}; }
    static constexpr ModifierKey rightOption() { return {RightOptionBit}; }
    static constexpr ModifierKey rightCommand() { return {RightCommandBit}; }

    // The union of the given sets.
    static constexpr ModifierKey of(std::initializer_list<ModifierKey> sets)
    {
        ModifierKey result;
        for (const ModifierKey set : sets)
            result.rawValue |= set.rawValue;
        return result;
    }

    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr bool contains(ModifierKey other) const { return (rawValue & other.rawValue) == other.rawValue; }
    constexpr bool intersects(ModifierKey other) const { return (rawValue & other.rawValue) != 0; }
    constexpr ModifierKey operator|(ModifierKey other) const { return {rawValue | other.rawValue}; }
    constexpr ModifierKey operator&(ModifierKey other) const { return {rawValue & other.rawValue}; }
    constexpr ModifierKey without(ModifierKey other) const { return {rawValue & ~other.rawValue}; }
    constexpr bool operator==(const ModifierKey&) const = default;
};

// The modifier set of an event: its device-independent flags (EventModifier
// bits of platform/GlobalKeySource.h) plus, when an event is at hand, its key
// code. A right-side bit is produced only when the event's own key is that
// right-side key, so a right modifier merely held while another changes
// counts as its left variant.
ModifierKey modifierKeyFromEventFlags(quint32 eventFlags, int keyCode = -1);

} // namespace velnor
