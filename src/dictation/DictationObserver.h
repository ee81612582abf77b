#pragma once

#include "platform/FrontAppInfo.h"

#include <QString>

#include <optional>

namespace velnor {

// What a recording-mode upload sent besides the audio, so that it can be
// sent again exactly as it was.
struct UploadSettings {
    QString appID;
    QString appName;
    std::optional<QString> outLanguage;
    bool overOver = false;
};

// Names one dictation, from its key-down to its end. A new key-down may come
// while the previous dictation is still being typed, so its last events
// arrive after the next one started: every event says whose it is.
using DictationId = quint64;

// Follows each dictation from key-down to its end, for whoever keeps a record
// of it. Every dictation that starts ends in exactly one of delivered, failed
// or cancelled. Called on the main thread.
class DictationObserver {
public:
    DictationObserver() = default;
    virtual ~DictationObserver() = default;
    DictationObserver(const DictationObserver&) = delete;
    DictationObserver& operator=(const DictationObserver&) = delete;

    // `mode` is "traditional" or "realtime".
    virtual void dictationStarted(DictationId dictation, const QString& mode,
                                  const std::optional<FrontAppInfo>& frontApp) = 0;
    // The recording ended and went to recognition; the path (and the upload)
    // are empty in real-time mode, which keeps no file.
    virtual void recognizing(DictationId dictation, double durationSeconds, const QString& recordingPath,
                             const UploadSettings& upload) = 0;
    virtual void delivered(DictationId dictation, const QString& recognizedText, const QString& correctedText,
                           const QString& insertionMethod) = 0;
    virtual void failed(DictationId dictation, const QString& errorText) = 0;
    virtual void cancelled(DictationId dictation) = 0;
};

} // namespace velnor
