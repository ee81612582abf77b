#pragma once

#include "dictation/DictationObserver.h"

namespace velnor {

class HistoryStore;

// Writes each dictation the controller runs into the history. A dictation
// that starts while the previous one never ended (a re-press the controller
// did not report) closes the earlier entry as cancelled, so no entry is left
// hanging until the next start-up.
class HistoryRecorder final : public DictationObserver {
public:
    explicit HistoryRecorder(HistoryStore& store);

    void dictationStarted(const QString& mode, const std::optional<FrontAppInfo>& frontApp) override;
    void recognizing(double durationSeconds, const QString& recordingPath, const UploadSettings& upload) override;
    void delivered(const QString& recognizedText, const QString& correctedText, const QString& insertionMethod) override;
    void failed(const QString& errorText) override;
    void cancelled() override;

    // The entry of the dictation in progress; empty between dictations or
    // with history off.
    const QString& currentEntryId() const { return m_currentId; }

private:
    // The current id, after which no further event belongs to that entry.
    QString takeCurrent();

    HistoryStore& m_store;
    QString m_currentId;
};

} // namespace velnor
