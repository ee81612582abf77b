#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace velnor {

// Where a dictation stands. Recording and Recognizing are the unfinished
// states a crash can leave behind.
enum class HistoryOutcome { Recording, Recognizing, Delivered, Failed, Cancelled };

QString historyOutcomeName(HistoryOutcome outcome);
// Unknown names read back as Failed: an entry is never silently lost.
HistoryOutcome historyOutcomeFromName(const QString& name);

// One dictation as the history keeps it.
struct HistoryEntry {
    QString id; // made by the store when the dictation starts
    QDateTime startedAt;
    QString mode; // "traditional" or "realtime"
    // The application the text was for: at key-down, then as the upload sent it.
    QString appName;
    QString bundleId;
    // The upload's other settings, so a retry sends the same request.
    std::optional<QString> outLanguage;
    bool overOver = false;
    double durationSeconds = 0;
    QString recordingPath; // file mode only; empty once pruned
    QString recognizedText;
    QString correctedText;
    QString insertionMethod; // "accessibility", "clipboard", "unknown" or empty
    HistoryOutcome outcome = HistoryOutcome::Recording;
    QString errorText;

    bool isFinished() const
    {
        return outcome != HistoryOutcome::Recording && outcome != HistoryOutcome::Recognizing;
    }
    // A file-mode dictation that did not deliver but whose whole recording is
    // kept: it failed, or was cancelled once its upload had started (the
    // only way a cancelled entry gets a recording).
    bool isRetryable() const
    {
        return (outcome == HistoryOutcome::Failed || outcome == HistoryOutcome::Cancelled) && !recordingPath.isEmpty();
    }
    // The text the user got (or would have got).
    QString deliveredText() const { return correctedText.isEmpty() ? recognizedText : correctedText; }
    bool operator==(const HistoryEntry&) const = default;
};

} // namespace velnor
