#include "platform/linux/session/SelectableBackends.h"

namespace velnor::session {

void SelectableKeySource::select(GlobalKeySource& source)
{
    if (&source == m_current)
        return;
    const Handler handler = m_handler;
    stop();
    m_current = &source;
    if (handler)
        start(handler);
}

bool SelectableKeySource::start(Handler handler)
{
    m_handler = handler;
    return m_current->start(std::move(handler));
}

void SelectableKeySource::stop()
{
    m_handler = {};
    m_current->stop();
}

} // namespace velnor::session
