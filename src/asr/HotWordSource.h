#pragma once

#include <QList>
#include <QString>

namespace velnor {

struct HotWordEntry {
    QString text;
    double weight = 0;
};

// The hot word cache the recogniser is signed with, in its stored order.
class HotWordSource {
public:
    HotWordSource() = default;
    virtual ~HotWordSource() = default;
    HotWordSource(const HotWordSource&) = delete;
    HotWordSource& operator=(const HotWordSource&) = delete;

    virtual QList<HotWordEntry> cachedHotWords() const = 0;
};

} // namespace velnor
