// The addon's chord matching, on X keycodes as Fcitx5 hands them over.
#include "ChordTracker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velnor::fcitx5addon {
namespace {

constexpr std::uint32_t ShiftL = 50, ShiftR = 62, ControlL = 37, ControlR = 105, SuperR = 134, AltL = 64, LetterA = 38;

struct Step {
    std::uint32_t key;
    bool release;
};

// Plays the keys and writes "down"/"up" for the chord's edges.
std::string play(std::uint32_t chord, const std::vector<Step>& steps, bool capsLocked = false)
{
    ChordTracker tracker;
    tracker.setChord(chord);
    ChordTracker::State state{.capsLocked = capsLocked};
    std::string edges;
    for (const Step& step : steps) {
        const ChordTracker::Change change = tracker.handleKey(step.key, step.release, state);
        edges += change.chordDown ? "down " : "";
        edges += change.chordUp ? "up " : "";
        // The state the next event carries: what is held now.
        const bool pressed = !step.release;
        if (step.key == ShiftL || step.key == ShiftR)
            state.shift = pressed;
        if (step.key == ControlL || step.key == ControlR)
            state.control = pressed;
    }
    return edges;
}

TEST(ChordTracker, MatchesModifierOnlyChordsAsTheHotkeyDoes)
{
    struct Case {
        const char* name;
        std::uint32_t chord;
        std::vector<Step> steps;
        const char* edges;
    };
    const Case cases[] = {
        {"Fn+Shift: right Ctrl then Shift", 0x20200, {{ControlR, false}, {ShiftL, false}, {ShiftL, true}, {ControlR, true}}, "down up "},
        {"Fn+Shift: Shift then right Ctrl", 0x20200, {{ShiftL, false}, {ControlR, false}, {ControlR, true}, {ShiftL, true}}, "down up "},
        {"Fn+Shift: right Shift last is the right-Shift bit", 0x20200, {{ControlR, false}, {ShiftR, false}, {ShiftR, true}}, ""},
        {"Ctrl+Shift is left Ctrl", 0x1200, {{ControlL, false}, {ShiftL, false}, {ShiftL, true}}, "down up "},
        {"Ctrl+Shift is not right Ctrl", 0x1200, {{ControlR, false}, {ShiftL, false}}, ""},
        {"left Shift held, right Shift pressed: right Shift alone", 0x40000, {{ShiftL, false}, {ShiftR, false}}, "down "},
        {"right Command alone", 0x100000, {{SuperR, false}, {SuperR, true}}, "down up "},
        {"left Option alone", 0x800, {{AltL, false}, {AltL, true}}, "down up "},
        {"a letter is no modifier", 0x20200, {{ControlR, false}, {LetterA, false}, {LetterA, true}, {ControlR, true}}, ""},
        {"a third modifier breaks the chord, its release restores it", 0x20200,
         {{ControlR, false}, {ShiftL, false}, {AltL, false}, {AltL, true}}, "down down "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(play(c.chord, c.steps), c.edges);
    }
    EXPECT_EQ(play(0x20200, {{ControlR, false}, {ShiftL, false}}, true), "") << "Caps Lock on: nothing matches";

    // Shift released while another window had the focus: the next key's state lacks it.
    ChordTracker tracker;
    tracker.setChord(0x20200);
    tracker.handleKey(ShiftL, false, {});
    EXPECT_FALSE(tracker.handleKey(ControlR, false, {}).chordDown) << "a Shift released elsewhere is forgotten";
}

} // namespace
} // namespace velnor::fcitx5addon
