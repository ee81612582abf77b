#pragma once

#include "dictation/DictationObserver.h"

#include <QHash>

namespace velnor {

class HistoryStore;

// Writes each dictation the controller runs into the history, each event into
// the entry of the dictation it names: a dictation still being typed when the
// next key goes down keeps its own entry to the end. A dictation that never
// got past its recording when the next one starts (a re-press the controller
// did not report) is closed as cancelled, so no entry is left hanging until
// the next start-up.
class HistoryRecorder final : public DictationObserver {
public:
    explicit HistoryRecorder(HistoryStore& store);

    void dictationStarted(DictationId dictation, const QString& mode,
                          const std::optional<FrontAppInfo>& frontApp) override;
    void recognizing(DictationId dictation, double durationSeconds, const QString& recordingPath,
                     const UploadSettings& upload) override;
    void delivered(DictationId dictation, const QString& recognizedText, const QString& correctedText,
                   const QString& insertionMethod) override;
    void failed(DictationId dictation, const QString& errorText) override;
    void cancelled(DictationId dictation) override;

    // How many dictations have an entry that has not ended yet.
    qsizetype openEntries() const { return m_open.size(); }

private:
    struct OpenEntry {
        QString id;
        bool recognizing = false;
    };
    // The entry's id, after which no further event belongs to it; empty when
    // the dictation has none (history off, or already ended).
    QString take(DictationId dictation);

    HistoryStore& m_store;
    QHash<DictationId, OpenEntry> m_open;
};

} // namespace velnor
