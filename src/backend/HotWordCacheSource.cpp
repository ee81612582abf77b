#include "backend/HotWordCacheSource.h"

namespace velnor {

HotWordCacheSource::HotWordCacheSource(const HotWordManager& manager)
    : m_manager(manager)
{
}

QList<HotWordEntry> HotWordCacheSource::cachedHotWords() const
{
    QList<HotWordEntry> entries;
    entries.reserve(m_manager.cachedHotWords().size());
    for (const HotWord& word : m_manager.cachedHotWords())
        entries.append(HotWordEntry{word.text, word.weight});
    return entries;
}

} // namespace velnor
