#pragma once

#include "textinput/TextInput.h"

#include <functional>

namespace velnor {
class Logger;
}

namespace velnor::fcitx5 {

class Fcitx5Bridge;

// Commits dictated text through Velnor's Fcitx5 addon into the focused field
// when the addon answers and the field is not a private one; otherwise, or
// when the commit does not go through (the addon or Fcitx5 went away), the
// same text takes the fallback's way (accessibility, clipboard).
class Fcitx5TextInput final : public TextInput {
public:
    // `enabled` is the user's switch ("通过输入法输入").
    Fcitx5TextInput(Fcitx5Bridge& bridge, TextInput& fallback, Logger& log, std::function<bool()> enabled);

    void inputTextToFocusedField(const QString& text, Completion completion) override;
    std::optional<FrontAppInfo> getFrontmostApp() override;

private:
    Fcitx5Bridge& m_bridge;
    TextInput& m_fallback;
    Logger& m_log;
    std::function<bool()> m_enabled;
};

} // namespace velnor::fcitx5
