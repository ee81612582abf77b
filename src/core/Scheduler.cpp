#include "core/Scheduler.h"

namespace velnor {

Cancellable Cancellable::create()
{
    Cancellable handle;
    handle.m_state = std::make_shared<State>();
    return handle;
}

void Cancellable::cancel() const
{
    if (m_state) {
        m_state->cancelled = true;
        m_state->finished = true;
    }
}

bool Cancellable::isCancelled() const
{
    return m_state && m_state->cancelled;
}

bool Cancellable::isFinished() const
{
    return !m_state || m_state->finished;
}

bool Cancellable::beginRun() const
{
    if (!m_state || m_state->cancelled)
        return false;
    m_state->finished = true;
    return true;
}

} // namespace velnor
