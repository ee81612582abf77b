#pragma once

#include "platform/KeySynthesizer.h"

#include <QList>
#include <QSet>

#include <functional>

namespace velnor {

// Records posted key events with the time they were posted.
class FakeKeySynthesizer final : public KeySynthesizer {
public:
    struct Posted {
        SyntheticKeyEvent event;
        qint64 atMs = 0;
    };

    // `now` gives the time stamped on posted events (virtual time in tests).
    explicit FakeKeySynthesizer(std::function<qint64()> now = [] { return qint64(0); });

    bool isAvailable() const override { return true; }
    // Counts down one per query while positive: "held for N more looks".
    bool isModifierHeld() const override;
    std::shared_ptr<KeyEventSource> createEventSource() override;

    // Fail this many event-source creations before succeeding.
    int failSourceCreations = 0;
    // Keys for which event creation fails.
    QSet<int> uncreatableKeys;

    // Queries that still see a modifier held; negative: held forever.
    mutable int modifierHeldQueries = 0;

    int sourcesCreated = 0;
    QList<Posted> posted;

private:
    std::function<qint64()> m_now;
};

} // namespace velnor
