#include "platform/linux/fcitx5/Fcitx5PreeditSink.h"

#include "platform/linux/fcitx5/Fcitx5Bridge.h"

namespace velnor::fcitx5 {

Fcitx5PreeditSink::Fcitx5PreeditSink(Fcitx5Bridge& bridge, std::function<bool()> enabled)
    : m_bridge(bridge)
    , m_enabled(std::move(enabled))
{
    m_focusConnection = QObject::connect(&m_bridge, &Fcitx5Bridge::focusChanged, [this] { clearPreedit(); });
}

Fcitx5PreeditSink::~Fcitx5PreeditSink() { QObject::disconnect(m_focusConnection); }

void Fcitx5PreeditSink::showPreedit(const QString& text)
{
    if (!m_enabled() || !m_bridge.canWriteToFocusedField()) {
        clearPreedit();
        return;
    }
    m_bridge.setPreedit(text);
    m_shown = true;
}

void Fcitx5PreeditSink::clearPreedit()
{
    if (!m_shown)
        return;
    m_shown = false;
    m_bridge.clearPreedit();
}

} // namespace velnor::fcitx5
