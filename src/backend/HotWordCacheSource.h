#pragma once

#include "asr/HotWordSource.h"
#include "backend/HotWordManager.h"

namespace velnor {

// Hands the hot word cache to the real-time recogniser's signing step.
// Read on the main thread, like the cache itself.
class HotWordCacheSource final : public HotWordSource {
public:
    explicit HotWordCacheSource(const HotWordManager& manager);

    QList<HotWordEntry> cachedHotWords() const override;

private:
    const HotWordManager& m_manager;
};

} // namespace velnor
