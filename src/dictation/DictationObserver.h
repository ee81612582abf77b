#pragma once

#include "platform/FrontAppInfo.h"

#include <QString>

#include <optional>

namespace velnor {

// Follows one dictation from key-down to its end, for whoever keeps a record
// of it. Every dictation that starts ends in exactly one of delivered, failed
// or cancelled. Called on the main thread.
class DictationObserver {
public:
    DictationObserver() = default;
    virtual ~DictationObserver() = default;
    DictationObserver(const DictationObserver&) = delete;
    DictationObserver& operator=(const DictationObserver&) = delete;

    // `mode` is "traditional" or "realtime".
    virtual void dictationStarted(const QString& mode, const std::optional<FrontAppInfo>& frontApp) = 0;
    // The recording ended and went to recognition; the path is empty in
    // real-time mode, which keeps no file.
    virtual void recognizing(double durationSeconds, const QString& recordingPath) = 0;
    virtual void delivered(const QString& recognizedText, const QString& correctedText, const QString& insertionMethod) = 0;
    virtual void failed(const QString& errorText) = 0;
    virtual void cancelled() = 0;
};

} // namespace velnor
