#pragma once

#include "platform/GlobalKeySource.h"

namespace velnor {

// Delivers the events a test emits, once started.
class FakeGlobalKeySource final : public GlobalKeySource {
public:
    bool isAvailable() const override { return available; }
    bool start(Handler handler) override;
    void stop() override { m_handler = {}; }
    bool isKeyboardGrabbedElsewhere() override { return grabbedElsewhere; }

    bool isStarted() const { return static_cast<bool>(m_handler); }
    // Delivers the event when started; false when nobody listens.
    bool emitEvent(const GlobalKeyEvent& event);

    bool available = true;
    bool grabbedElsewhere = false;

private:
    Handler m_handler;
};

} // namespace velnor
