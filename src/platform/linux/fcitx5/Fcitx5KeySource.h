#pragma once

#include "platform/GlobalKeySource.h"

#include <QMetaObject>

namespace velnor::fcitx5 {

class Fcitx5Bridge;

// Modifier changes in the focused field as Velnor's Fcitx5 addon sees them,
// before the input method: works wherever Fcitx5 does (X11, Wayland), but
// only while an input field has the focus.
class Fcitx5KeySource final : public GlobalKeySource {
public:
    explicit Fcitx5KeySource(Fcitx5Bridge& bridge);
    ~Fcitx5KeySource() override;

    bool isAvailable() const override;
    bool start(Handler handler) override;
    void stop() override;
    // While another client grabs the keyboard no field has it, so the input
    // method hears nothing to guard against.
    bool isKeyboardGrabbedElsewhere() override { return false; }

    // The flag-change event whose modifier set (by the hotkey's rules) is
    // `modifiers` (ModifierKey bits).
    static GlobalKeyEvent eventFor(quint32 modifiers);

private:
    Fcitx5Bridge& m_bridge;
    QMetaObject::Connection m_connection;
};

} // namespace velnor::fcitx5
