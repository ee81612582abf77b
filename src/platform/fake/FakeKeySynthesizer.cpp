#include "platform/fake/FakeKeySynthesizer.h"

namespace velnor {

namespace {

class FakeKeyEventSource final : public KeyEventSource {
public:
    explicit FakeKeyEventSource(FakeKeySynthesizer& owner, std::function<qint64()> now)
        : m_owner(owner)
        , m_now(std::move(now))
    {
    }

    std::optional<SyntheticKeyEvent> createKeyboardEvent(int virtualKey, bool keyDown) override
    {
        if (m_owner.uncreatableKeys.contains(virtualKey))
            return std::nullopt;
        return SyntheticKeyEvent{virtualKey, keyDown};
    }

    void post(const SyntheticKeyEvent& event) override { m_owner.posted.append({event, m_now()}); }

private:
    FakeKeySynthesizer& m_owner;
    std::function<qint64()> m_now;
};

} // namespace

FakeKeySynthesizer::FakeKeySynthesizer(std::function<qint64()> now)
    : m_now(std::move(now))
{
}

bool FakeKeySynthesizer::isModifierHeld() const
{
    if (modifierHeldQueries == 0)
        return false;
    if (modifierHeldQueries > 0)
        --modifierHeldQueries;
    return true;
}

std::shared_ptr<KeyEventSource> FakeKeySynthesizer::createEventSource()
{
    if (failSourceCreations > 0) {
        --failSourceCreations;
        return nullptr;
    }
    ++sourcesCreated;
    return std::make_shared<FakeKeyEventSource>(*this, m_now);
}

} // namespace velnor
