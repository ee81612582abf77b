#include "platform/linux/x11/XKeycodeTable.h"

#include "platform/GlobalKeySource.h"

#include <array>

namespace velnor::x11 {
namespace {

struct Row {
    std::uint8_t xKeycode;
    std::uint8_t virtualKey;
    std::uint32_t modifierFlag = 0;
};

constexpr std::array<Row, 113> kRows{{
    // Main block, row by row.
    {9, 53}, {10, 18}, {11, 19}, {12, 20}, {13, 21}, {14, 23}, {15, 22}, {16, 26}, {17, 28}, {18, 25},
    {19, 29}, {20, 27}, {21, 24}, {22, 51}, {23, 48}, {24, 12}, {25, 13}, {26, 14}, {27, 15}, {28, 17},
    {29, 16}, {30, 32}, {31, 34}, {32, 31}, {33, 35}, {34, 33}, {35, 30}, {36, 36},
    {37, 59, EventModifier::Control}, {38, 0}, {39, 1}, {40, 2}, {41, 3}, {42, 5}, {43, 4}, {44, 38},
    {45, 40}, {46, 37}, {47, 41}, {48, 39}, {49, 50}, {50, 56, EventModifier::Shift}, {51, 42}, {52, 6},
    {53, 7}, {54, 8}, {55, 9}, {56, 11}, {57, 45}, {58, 46}, {59, 43}, {60, 47}, {61, 44},
    {62, 60, EventModifier::Shift}, {64, 58, EventModifier::Option}, {65, 49},
    {105, 63, EventModifier::Function}, {108, 61, EventModifier::Option},
    {133, 55, EventModifier::Command}, {134, 54, EventModifier::Command},
    // Caps Lock: its state comes from the XKB lock, not from the key being held.
    {66, 57},
    // Function keys.
    {67, 122}, {68, 120}, {69, 99}, {70, 118}, {71, 96}, {72, 97}, {73, 98}, {74, 100}, {75, 101},
    {76, 109}, {95, 103}, {96, 111}, {191, 105}, {192, 107}, {193, 113}, {194, 106}, {195, 64},
    {196, 79}, {197, 80}, {198, 90},
    // Keypad; Num Lock sits where the Clear key is.
    {77, 71}, {63, 67}, {79, 89}, {80, 91}, {81, 92}, {82, 78}, {83, 86}, {84, 87}, {85, 88},
    {86, 69}, {87, 83}, {88, 84}, {89, 85}, {90, 82}, {91, 65}, {104, 76}, {106, 75}, {125, 81},
    // Navigation; Insert sits where the Help key is.
    {110, 115}, {111, 126}, {112, 116}, {113, 123}, {114, 124}, {115, 119}, {116, 125}, {117, 121},
    {118, 114}, {119, 117}, {146, 114},
    // Media keys.
    {121, 74}, {122, 73}, {123, 72},
}};

} // namespace

std::optional<XKeyMeaning> meaningOfXKeycode(std::uint32_t xKeycode)
{
    for (const Row& row : kRows) {
        if (row.xKeycode == xKeycode)
            return XKeyMeaning{row.virtualKey, row.modifierFlag};
    }
    return std::nullopt;
}

} // namespace velnor::x11
