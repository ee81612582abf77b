#pragma once

#include "platform/KeySynthesizer.h"

namespace velnor {
class Logger;
}

namespace velnor::fcitx5 {

class Fcitx5Bridge;

// Keys pressed into the focused field by the input method (the addon's
// ForwardKey): they reach the field the text was committed to, on X11 and on
// Wayland alike, and need no XTest. Only Return, with Shift or Control held,
// can be expressed; modifiers become the state of the Return press.
class Fcitx5KeySynthesizer final : public KeySynthesizer {
public:
    Fcitx5KeySynthesizer(Fcitx5Bridge& bridge, Logger& log);

    // The addon answers and a field has the focus.
    bool isAvailable() const override;
    // The forwarded key carries its own modifier state: a key the user still
    // holds does not change it.
    bool isModifierHeld() const override { return false; }
    std::shared_ptr<KeyEventSource> createEventSource() override;

private:
    Fcitx5Bridge& m_bridge;
    Logger& m_log;
};

} // namespace velnor::fcitx5
