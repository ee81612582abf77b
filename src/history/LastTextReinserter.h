#pragma once

#include "core/Lifetime.h"

#include <QString>

#include <functional>

namespace velnor {

class HistoryStore;
class Logger;

// Types the newest delivered dictation's text into the focused field again,
// for a text that went to the wrong window.
class LastTextReinserter final {
public:
    // `type` puts a text into the application in front.
    using Typist = std::function<void(const QString&)>;

    LastTextReinserter(HistoryStore& store, Typist type, Logger& log);

    void reinsertLastText();

private:
    HistoryStore& m_store;
    Typist m_type;
    Logger& m_log;
    Lifetime m_lifetime;
};

} // namespace velnor
