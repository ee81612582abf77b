#include "platform/fake/FakeSystemLog.h"

namespace velnor {

void FakeSystemLog::write(Type type, const QString& message)
{
    std::lock_guard lock(m_mutex);
    m_entries.append({type, message});
}

QList<std::pair<SystemLog::Type, QString>> FakeSystemLog::entries() const
{
    std::lock_guard lock(m_mutex);
    return m_entries;
}

} // namespace velnor
