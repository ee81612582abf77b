#pragma once

#include "backend/QASRTypes.h"
#include "core/Lifetime.h"
#include "core/ServiceError.h"
#include "dictation/DictationObserver.h"
#include "platform/FrontAppInfo.h"
#include "textinput/TextInput.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace velnor {

class AutoSubmitter;
class Clock;
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
    // finished) at the end of the given dictation; `observer` (may be null)
    // learns how each dictation ended. Every call names the dictation whose
    // result it is.
    ResultDelivery(Collaborators collaborators, std::function<void(DictationId)> resetRecognitionState,
                   DictationObserver* observer = nullptr);

    void handleRealtimeRecognitionResult(DictationId dictation, const QString& text);
    void adjustAndInputRealtimeText(DictationId dictation, const QString& text);
    // `done` runs once the text was handed to the focused field, with how.
    void performRealtimeTextInput(const QString& text, std::function<void(TextInputMethod)> done);

    void handleSuccessfulRecognition(DictationId dictation, const RecognizeAudioFileResponse& response,
                                     const std::optional<FrontAppInfo>& frontApp);
    // `inserted` runs once the insertion ended, with its method (Unknown:
    // the text is not known to be in the field).
    void performTextInput(DictationId dictation, const QString& text, const RecognizeAudioFileResponse& response,
                          std::function<void(TextInputMethod)> inserted = {});
    void updateRecognizeRecord(const QString& id, const std::optional<QString>& appID,
                               const std::optional<QString>& appName, const QString& textInputMethod,
                               const QString& osType);
    void handleFailedRecognition(DictationId dictation, const ServiceError& error);

private:
    class SubmitGate;
    // Logs the over-over decision; when it holds, the gate that presses the key.
    std::shared_ptr<SubmitGate> decideOverOver(const RecognizeAudioFileResponse& response);
    void pressSubmitKey(const std::optional<QString>& beforeId, TextInputMethod insertedBy);
    void reportDelivered(DictationId dictation, const QString& recognized, const QString& corrected,
                         TextInputMethod method);
    void reportFailed(DictationId dictation, const QString& errorText);

    Collaborators m_with;
    std::function<void(DictationId)> m_resetRecognitionState;
    DictationObserver* m_observer;
    Lifetime m_lifetime;
};

} // namespace velnor
