#include "platform/linux/fcitx5/Fcitx5TextInput.h"

#include "log/Logger.h"
#include "platform/linux/fcitx5/Fcitx5Bridge.h"
#include "textinput/TextInputMgr.h"

#include <QPointer>

namespace velnor::fcitx5 {

Fcitx5TextInput::Fcitx5TextInput(Fcitx5Bridge& bridge, TextInput& fallback, Logger& log, std::function<bool()> enabled)
    : m_bridge(bridge)
    , m_fallback(fallback)
    , m_log(log)
    , m_enabled(std::move(enabled))
{
}

void Fcitx5TextInput::inputTextToFocusedField(const QString& text, Completion completion)
{
    if (text.isEmpty() || !m_enabled() || !m_bridge.canWriteToFocusedField()) {
        m_fallback.inputTextToFocusedField(text, std::move(completion));
        return;
    }
    const auto app = getFrontmostApp();
    // The fallback outlives the bridge's reply (both belong to the
    // composition root); the bridge drops replies once it is gone.
    m_bridge.commitString(text, [this, text, app, completion = std::move(completion)](bool committed) mutable {
        if (!committed) {
            m_log.warning(QStringLiteral("输入法提交失败，改用其他方式输入"));
            m_fallback.inputTextToFocusedField(text, std::move(completion));
            return;
        }
        m_log.info(QStringLiteral("通过输入法成功输入文字"));
        completion(InsertionResult{TextInputMgr::infoMap(app), TextInputMethod::InputMethod});
    });
}

std::optional<FrontAppInfo> Fcitx5TextInput::getFrontmostApp() { return m_fallback.getFrontmostApp(); }

} // namespace velnor::fcitx5
