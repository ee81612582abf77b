#pragma once

#include "core/Lifetime.h"
#include "core/Scheduler.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"

namespace velnor {

class Logger;
class SettingsStore;

// The history as the app runs it: the store switched by the user's setting,
// the recorder the controller reports to, and retention applied at start-up
// and once a day.
class HistoryService final {
public:
    struct Dependencies {
        QString databasePath;
        const SettingsStore& settings;
        const Clock& clock;
        Scheduler& scheduler;
        Logger& log;
        HistoryStore::MainThreadPoster toMainThread;
    };

    explicit HistoryService(Dependencies dependencies);
    ~HistoryService();
    HistoryService(const HistoryService&) = delete;
    HistoryService& operator=(const HistoryService&) = delete;

    // Opens the file (listing what a crash left unfinished as failed) and
    // applies the retention.
    void start();

    HistoryStore& store() { return m_store; }
    DictationObserver& recorder() { return m_recorder; }

private:
    void pruneAndRearm();

    const SettingsStore& m_settings;
    Scheduler& m_scheduler;
    Logger& m_log;
    HistoryStore m_store;
    HistoryRecorder m_recorder{m_store};
    Cancellable m_nextPrune;
    Lifetime m_lifetime;
};

} // namespace velnor
