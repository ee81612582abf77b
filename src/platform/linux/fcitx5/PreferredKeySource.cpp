#include "platform/linux/fcitx5/PreferredKeySource.h"

namespace velnor::fcitx5 {

PreferredKeySource::PreferredKeySource(GlobalKeySource& primary, GlobalKeySource& fallback,
                                       std::function<bool()> preferPrimary)
    : m_primary(primary)
    , m_fallback(fallback)
    , m_preferPrimary(std::move(preferPrimary))
{
}

PreferredKeySource::~PreferredKeySource() { stop(); }

bool PreferredKeySource::isAvailable() const { return m_primary.isAvailable() || m_fallback.isAvailable(); }

bool PreferredKeySource::start(Handler handler)
{
    const bool primary = m_primary.start([this, handler](const GlobalKeyEvent& event) {
        if (m_preferPrimary())
            handler(event);
    });
    const bool fallback = m_fallback.start([this, handler](const GlobalKeyEvent& event) {
        if (!m_preferPrimary())
            handler(event);
    });
    return primary || fallback;
}

void PreferredKeySource::stop()
{
    m_primary.stop();
    m_fallback.stop();
}

} // namespace velnor::fcitx5
