#pragma once

#include "core/Lifetime.h"

namespace velnor {

class HistoryStore;
class Logger;
class TextInput;

// Types the newest delivered dictation's text into the focused field again,
// for a text that went to the wrong window.
class LastTextReinserter final {
public:
    LastTextReinserter(HistoryStore& store, TextInput& textInput, Logger& log);

    void reinsertLastText();

private:
    HistoryStore& m_store;
    TextInput& m_textInput;
    Logger& m_log;
    Lifetime m_lifetime;
};

} // namespace velnor
