#pragma once

#include "asr/RealtimeRecognitionClient.h"
#include "core/Lifetime.h"
#include "core/Scheduler.h"
#include "core/TaskHandle.h"
#include "dictation/AutoSubmitter.h"
#include "dictation/DictationObserver.h"
#include "dictation/DictationSounds.h"
#include "dictation/ResultDelivery.h"
#include "log/ConsoleSink.h"
#include "platform/PreeditSink.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

namespace velnor {

class AudioFileRecorder;
class RecordingFiles;

// The dictation controller: turns hotkey down/up into one dictation —
// recording, recognition in one of two modes, a maximum duration, a delayed
// stop, a bounded wait for real-time text — and hands the text to delivery.
// Runs entirely on the main thread.
class AppSetupHelper final {
public:
    struct Collaborators {
        SettingsStore& settings;
        Scheduler& scheduler;
        const Clock& clock;
        Logger& log;
        ConsoleSink console;
        Indicator& indicator;
        AudioFileRecorder& recorder;
        RecordingFiles& recordingFiles;
        SoundPlayer& soundPlayer;
        FileRecognitionService& fileRecognition;
        TextAdjustmentService& textAdjustment;
        TextInput& textInput;
        const Workspace& workspace;
        KeySynthesizer& keySynthesizer;
        const AccessibilityTrust& accessibilityTrust;
        RealtimeRecognitionClientFactory realtimeClientFactory;
        // Sent to the backend as the OS type ("linux" here).
        QString osType;
    };

    // `observer` (may be null) follows each dictation to its end; `preedit`
    // (may be null) shows a real-time dictation's partial text in the field;
    // `inputMethodKeys` (may be null) press "over over"'s key after text the
    // input method committed.
    explicit AppSetupHelper(Collaborators collaborators, DictationObserver* observer = nullptr,
                            PreeditSink* preedit = nullptr, KeySynthesizer* inputMethodKeys = nullptr);
    ~AppSetupHelper();
    AppSetupHelper(const AppSetupHelper&) = delete;
    AppSetupHelper& operator=(const AppSetupHelper&) = delete;

    // Hotkey handlers.
    void handleKeyDown();
    void handleKeyUp();

    void startRealtimeRecognition();
    void initTencentASR();
    void stopRealtimeRecognition();
    void cleanupRealtimeConnection();
    void startTraditionalRecording();
    void startDelayedStopTimer();
    void cancelDelayedStopTimer();
    void performActualStopRecording();
    void processRecordingAndRecognize();
    void processAudioData(const QByteArray& data, const QString& filePath);
    void cancelCurrentRecognition();
    void resetInternalStateOnly();
    void resetRecognitionState();

    // State, for the menu and for tests.
    bool isCurrentlyRecognizing() const { return m_isCurrentlyRecognizing; }
    bool isRealtimeRecognizing() const { return m_isRealtimeRecognizing; }
    bool isRecordingHandledByTimeout() const { return m_isRecordingHandledByTimeout; }
    bool isDelayedStopInProgress() const { return m_isDelayedStopInProgress; }
    bool recognitionCompletedViaCallback() const { return m_recognitionCompletedViaCallback; }
    bool hasRealtimeClient() const { return static_cast<bool>(m_tencentASR); }

    ResultDelivery& delivery() { return m_delivery; }
    AutoSubmitter& autoSubmitter() { return m_autoSubmitter; }

private:
    void placeIndicator(bool keyDown);
    void armMaximumDurationTimer();
    void onMaximumDurationReached(int seconds);
    void onRealtimeFinalText(DictationId dictation, const QString& text);
    void onResultWaitTimeout(DictationId dictation);
    // The reset at the end of `dictation`, unless a newer key-down has made
    // another dictation current: the sound, the indicator and the flags are
    // that one's now.
    void endDictation(DictationId dictation);
    void clearDictationState();
    void retireRealtimeClient();
    void notifyRecognizing(DictationId dictation, const QString& recordingPath, const UploadSettings& upload = {});
    void showPartialText(DictationId dictation, const QString& text);
    void clearPartialText();

    template <typename Call>
    void notify(Call call)
    {
        if (m_observer)
            call(*m_observer);
    }

    Collaborators m_with;
    DictationObserver* m_observer;
    PreeditSink* m_preedit;
    // The dictation whose partial text may show; 0: none.
    DictationId m_preeditDictation = 0;
    // The current dictation: the last key-down's.
    DictationId m_dictation = 0;
    // When the current dictation's key went down, for its duration.
    QDateTime m_dictationStartedAt;
    DictationSounds m_sounds;
    AutoSubmitter m_autoSubmitter;
    ResultDelivery m_delivery;

    TaskHandlePtr m_currentRecognitionTask;
    bool m_isCurrentlyRecognizing = false;
    // Which upload may still complete; 0 once it completed or was cancelled.
    quint64 m_uploadSequence = 0;
    quint64 m_activeUpload = 0;
    std::unique_ptr<RealtimeRecognitionClient> m_tencentASR;
    // The dictation the real-time client serves, so that a late timeout or
    // callback of an earlier client cannot act on a later one's.
    DictationId m_realtimeDictation = 0;
    bool m_isRealtimeRecognizing = false;
    bool m_recognitionCompletedViaCallback = false;
    Cancellable m_recordingTimer;
    bool m_isRecordingHandledByTimeout = false;
    Cancellable m_delayedStopTimer;
    bool m_isDelayedStopInProgress = false;
    QString m_currentRecordingFile;
    // The delayed indicator finish of resetInternalStateOnly().
    Cancellable m_indicatorFinishTimer;

    Lifetime m_lifetime;
};

} // namespace velnor
