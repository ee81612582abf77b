#pragma once

#include "platform/GlobalKeySource.h"

#include <functional>

namespace velnor::fcitx5 {

// Two sources of the same keyboard (the input method and the display
// server both see a key pressed in a field): while `preferPrimary()` holds,
// only the primary's events count, otherwise only the fallback's, so one
// chord starts one dictation.
class PreferredKeySource final : public GlobalKeySource {
public:
    PreferredKeySource(GlobalKeySource& primary, GlobalKeySource& fallback, std::function<bool()> preferPrimary);
    ~PreferredKeySource() override;

    bool isAvailable() const override;
    // True when either source delivers.
    bool start(Handler handler) override;
    void stop() override;
    // A grab (a screen locker, a game) is the display server's to report.
    bool isKeyboardGrabbedElsewhere() override { return m_fallback.isKeyboardGrabbedElsewhere(); }

private:
    GlobalKeySource& m_primary;
    GlobalKeySource& m_fallback;
    std::function<bool()> m_preferPrimary;
};

} // namespace velnor::fcitx5
