#include "platform/fake/FakeGlobalKeySource.h"

namespace velnor {

bool FakeGlobalKeySource::start(Handler handler)
{
    if (!available)
        return false;
    m_handler = std::move(handler);
    return true;
}

bool FakeGlobalKeySource::emitEvent(const GlobalKeyEvent& event)
{
    if (!m_handler)
        return false;
    m_handler(event);
    return true;
}

} // namespace velnor
