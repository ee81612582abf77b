#pragma once

#include "platform/PreeditSink.h"

#include <QMetaObject>

#include <functional>

namespace velnor::fcitx5 {

class Fcitx5Bridge;

// Live partial text as preedit in the focused field, through Velnor's Fcitx5
// addon. Never in a password or sensitive field; a focus change takes the
// old preedit away at once.
class Fcitx5PreeditSink final : public PreeditSink {
public:
    // `enabled` is the user's switch ("通过输入法输入").
    Fcitx5PreeditSink(Fcitx5Bridge& bridge, std::function<bool()> enabled);
    ~Fcitx5PreeditSink() override;

    void showPreedit(const QString& text) override;
    void clearPreedit() override;

private:
    Fcitx5Bridge& m_bridge;
    std::function<bool()> m_enabled;
    bool m_shown = false;
    QMetaObject::Connection m_focusConnection;
};

} // namespace velnor::fcitx5
