#pragma once

#include "core/Lifetime.h"
#include "core/Result.h"

#include <QString>

#include <functional>

namespace velnor {

class FileRecognitionService;
class HistoryStore;
class Logger;
struct HistoryEntry;

// Sends the recording of a file-mode dictation that did not deliver (failed,
// or cancelled during its upload) to recognition again, as the original
// upload did, and marks the entry delivered with the text.
class DictationRetry final {
public:
    struct Dependencies {
        HistoryStore& store;
        FileRecognitionService& recognition;
        Logger& log;
        QString osType;
    };
    // The recognised text, or why there is none.
    using Completion = std::function<void(Result<QString, QString>)>;

    explicit DictationRetry(Dependencies dependencies);

    void retry(const QString& entryId, Completion done);

private:
    void send(const HistoryEntry& entry, Completion done);

    Dependencies m_with;
    Lifetime m_lifetime;
};

} // namespace velnor
