#include "platform/linux/fcitx5/Fcitx5KeySynthesizer.h"

#include "log/Logger.h"
#include "platform/linux/fcitx5/Fcitx5Bridge.h"

namespace velnor::fcitx5 {

namespace {
constexpr quint32 ReturnKeysym = 0xff0d;
// Fcitx5's key states (fcitx-utils/keysym.h).
constexpr quint32 ShiftState = 1u << 0;
constexpr quint32 ControlState = 1u << 2;

quint32 stateOfModifier(int virtualKey)
{
    switch (virtualKey) {
    case VirtualKey::LeftShift:
        return ShiftState;
    case VirtualKey::LeftControl:
        return ControlState;
    default:
        return 0;
    }
}

class ForwardedKeys final : public KeyEventSource {
public:
    ForwardedKeys(Fcitx5Bridge& bridge, Logger& log)
        : m_bridge(bridge)
        , m_log(log)
    {
    }

    std::optional<SyntheticKeyEvent> createKeyboardEvent(int virtualKey, bool keyDown) override
    {
        if (virtualKey != VirtualKey::Return && stateOfModifier(virtualKey) == 0)
            return std::nullopt;
        return SyntheticKeyEvent{virtualKey, keyDown};
    }

    void post(const SyntheticKeyEvent& event) override
    {
        if (const quint32 state = stateOfModifier(event.virtualKey)) {
            m_states = event.keyDown ? (m_states | state) : (m_states & ~state);
            return;
        }
        // The addon sends press and release together.
        if (!event.keyDown)
            return;
        m_bridge.forwardKey(ReturnKeysym, m_states, [&log = m_log](bool forwarded) {
            if (!forwarded)
                log.warning(QStringLiteral("输入法未能转发回车键"));
        });
    }

private:
    Fcitx5Bridge& m_bridge;
    Logger& m_log;
    quint32 m_states = 0;
};
} // namespace

Fcitx5KeySynthesizer::Fcitx5KeySynthesizer(Fcitx5Bridge& bridge, Logger& log)
    : m_bridge(bridge)
    , m_log(log)
{
}

bool Fcitx5KeySynthesizer::isAvailable() const
{
    return m_bridge.state() == AddonState::Connected && m_bridge.focusedField().focused;
}

std::shared_ptr<KeyEventSource> Fcitx5KeySynthesizer::createEventSource()
{
    if (!isAvailable())
        return nullptr;
    return std::make_shared<ForwardedKeys>(m_bridge, m_log);
}

} // namespace velnor::fcitx5
