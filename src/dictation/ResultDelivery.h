#pragma once

#include "backend/QASRTypes.h"
#include "core/Lifetime.h"
#include "core/ServiceError.h"
#include "platform/FrontAppInfo.h"
#include "textinput/TextInput.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace velnor {

class AutoSubmitter;
class Clock;
class DictationObserver;
class DictationSounds;
class FileRecognitionService;
class Indicator;
class Logger;
class Scheduler;
class SettingsStore;
class TextAdjustmentService;
class Workspace;

// Brings the recognised text of one dictation into the user's application:
// real-time text is corrected and typed; file-recognition text is typed, its
// record updated with the insertion method, and "over over" auto-submits.
class ResultDelivery final {
public:
    struct Collaborators {
        const SettingsStore& settings;
        Scheduler& scheduler;
        const Clock& clock;
        Logger& log;
        Indicator& indicator;
        DictationSounds& sounds;
        TextInput& textInput;
        const Workspace& workspace;
        TextAdjustmentService& adjuster;
        FileRecognitionService& records;
        AutoSubmitter& autoSubmitter;
        QString osType;
    };

    // `resetRecognitionState` is the controller's reset (end sound, indicator
    // finished); `observer` (may be null) learns how the dictation ended.
    ResultDelivery(Collaborators collaborators, std::function<void()> resetRecognitionState,
                   DictationObserver* observer = nullptr);

    void handleRealtimeRecognitionResult(const QString& text);
    void adjustAndInputRealtimeText(const QString& text);
    // `done` runs once the text was handed to the focused field, with how.
    void performRealtimeTextInput(const QString& text, std::function<void(TextInputMethod)> done);

    void handleSuccessfulRecognition(const RecognizeAudioFileResponse& response, const std::optional<FrontAppInfo>& frontApp);
    // `inserted` runs once the text is in the field (whatever the method).
    void performTextInput(const QString& text, const RecognizeAudioFileResponse& response,
                          std::function<void()> inserted = {});
    void updateRecognizeRecord(const QString& id, const std::optional<QString>& appID,
                               const std::optional<QString>& appName, const QString& textInputMethod,
                               const QString& osType);
    void handleFailedRecognition(const ServiceError& error);

private:
    class SubmitGate;
    // Logs the over-over decision; when it holds, the gate that presses the key.
    std::shared_ptr<SubmitGate> decideOverOver(const RecognizeAudioFileResponse& response);
    void pressSubmitKey(const std::optional<QString>& beforeId);
    void reportDelivered(const QString& recognized, const QString& corrected, TextInputMethod method);
    void reportFailed(const QString& errorText);

    Collaborators m_with;
    std::function<void()> m_resetRecognitionState;
    DictationObserver* m_observer;
    Lifetime m_lifetime;
};

} // namespace velnor
