#pragma once

#include "platform/GlobalKeySource.h"
#include "platform/KeySynthesizer.h"

namespace velnor::session {

// The key source the session probe chose, switchable once its answer is in
// (the probe is asynchronous; the hotkey starts before it). Switching while
// started stops the old source and starts the new one with the same handler.
class SelectableKeySource final : public GlobalKeySource {
public:
    explicit SelectableKeySource(GlobalKeySource& initial) : m_current(&initial) {}
    // The sources are the composition root's, which stops them (and may end
    // them before this): nothing of theirs is touched here.
    ~SelectableKeySource() override = default;

    void select(GlobalKeySource& source);

    bool isAvailable() const override { return m_current->isAvailable(); }
    bool start(Handler handler) override;
    void stop() override;
    bool isKeyboardGrabbedElsewhere() override { return m_current->isKeyboardGrabbedElsewhere(); }

private:
    GlobalKeySource* m_current;
    Handler m_handler;
};

// The synthetic-key path the session probe chose; none means the session
// offers no way to reach other applications' keyboards (the text stays on
// the clipboard).
class SelectableKeySynthesizer final : public KeySynthesizer {
public:
    explicit SelectableKeySynthesizer(KeySynthesizer* initial) : m_current(initial) {}

    void select(KeySynthesizer* synthesizer) { m_current = synthesizer; }

    bool isAvailable() const override { return m_current && m_current->isAvailable(); }
    bool isModifierHeld() const override { return m_current && m_current->isModifierHeld(); }
    std::shared_ptr<KeyEventSource> createEventSource() override
    {
        return m_current ? m_current->createEventSource() : nullptr;
    }

private:
    KeySynthesizer* m_current;
};

} // namespace velnor::session
