#pragma once

#include "asr/RealtimeRecognitionClient.h"
#include "asr/TencentASRConfig.h"
#include "asr/TencentASREnvironment.h"
#include "asr/TencentASRService.h"
#include "core/Scheduler.h"
#include "core/SerialQueue.h"
#include "platform/AudioCapture.h"
#include "platform/MicrophonePermission.h"
#include "platform/Resampler.h"

#include <QList>

#include <atomic>
#include <memory>

namespace velnor {

class SecretRedactor;

// What the cached client needs besides the recognition environment.
struct TencentASRExampleDependencies {
    TencentASREnvironment environment;
    TencentASRConfig defaultConfig;
    MicrophonePermission& permission;
    AudioCaptureFactory captureFactory;
    ResamplerFactory resamplerFactory;
    // The SecretKey is registered here so no log line can ever carry it.
    SecretRedactor* redactor = nullptr;
};

// The real-time client of one dictation: starts capture and the connection
// at the same moment, caches 16 kHz audio until the connection is ready,
// then streams the cache and the live audio in capture order, and hands the
// transcript to the completion handler on the main thread.
class TencentASRExample final : public RealtimeRecognitionClient, public TencentASRServiceDelegate {
public:
    static constexpr int cacheLimit = 500;
    static constexpr int framesPerBuffer = 512;

    explicit TencentASRExample(TencentASRExampleDependencies dependencies);
    ~TencentASRExample() override;

    void connectAndStartRecording() override;
    void stopRecording() override;
    void disconnect() override;
    QString currentText() const override { return m_currentText; }
    QString finalText() const override { return m_finalText; }
    void setRecognitionCompletionHandler(CompletionHandler handler) override { m_completion = std::move(handler); }
    void setPartialTextHandler(PartialTextHandler handler) override { m_partialText = std::move(handler); }

    bool isRecording() const { return m_isRecording; }
    bool isConnected() const { return m_isConnected; }
    const QString& connectionStatus() const { return m_connectionStatus; }
    const QString& errorMessage() const { return m_errorMessage; }
    int cachedBufferCount() const { return m_cachedCount.load(); }
    TencentASRService* asrService() const { return m_asrService.get(); }

    // Blocks until the cache, upload and processing queues have handed on
    // what they hold (tests and benchmarks; never from those queues).
    void waitForAudioQueues();

    static AudioFormat targetFormat() { return AudioFormat{16000, 1, SampleType::Int16, false}; }

    void tencentASRServiceDidChangeConnectionState(TencentASRService& service,
                                                   const TencentASRConnectionState& state) override;
    void tencentASRServiceDidReceiveResult(TencentASRService& service, const TencentASRResult& result) override;
    void tencentASRServiceDidReceivePartialResult(TencentASRService& service, const QString& text) override;
    void tencentASRServiceDidReceiveFinalResult(TencentASRService& service, const QString& text) override;
    void tencentASRServiceDidEncounterError(TencentASRService& service, const TencentASRError& error) override;
    void tencentASRServiceDidComplete(TencentASRService& service) override;

private:
    void setupASRService();
    void startRecordingWithCache();
    void setupAudioRecordingWithCache(bool granted);
    void setupAudioEngineWithCache();
    void startCacheTimeoutTimer();
    std::optional<AudioBuffer> convertAudioBuffer(const AudioBuffer& input);
    void handleAudioBufferWithCache(const AudioBuffer& buffer);
    void flushCachedAudio();
    void finishFlush();
    void uploadCachedBuffersInParallel(QList<AudioBuffer> buffers);
    void stopRecognitionAfterQueuedAudio();
    void clearAudioCache();
    void resetTexts();
    void stopCapture();

    TencentASRExampleDependencies m_deps;
    TencentASRLogger& m_log;
    std::unique_ptr<TencentASRService> m_asrService;

    // Main thread.
    std::unique_ptr<AudioCapture> m_capture;
    bool m_isRecording = false;
    bool m_isConnected = false;
    QString m_connectionStatus{QStringLiteral("未连接")};
    QString m_currentText;
    QString m_finalText;
    QString m_errorMessage;
    CompletionHandler m_completion;
    PartialTextHandler m_partialText;
    Cancellable m_cacheTimeoutTimer;

    // Audio thread (between start and stop of the capture).
    std::unique_ptr<Resampler> m_resampler;

    // Cache queue.
    QList<AudioBuffer> m_cachedAudioBuffers;
    bool m_flushPending = false;
    // After the flush, live audio follows the cached audio through the upload queue.
    bool m_routeThroughUpload = false;
    // The stop has reached this queue, behind every buffer captured before it.
    bool m_stopQueued = false;
    std::atomic<int> m_cachedCount{0};
    std::atomic<bool> m_isCachingAudio{false};
    std::atomic<bool> m_shouldFlushCacheOnConnection{false};
    std::atomic<bool> m_recordingStopped{false};
    std::atomic<bool> m_closing{false};

    std::shared_ptr<char> m_life = std::make_shared<char>();
    // Destroyed (drained) in the destructor's order: cache queue, then upload queue.
    std::unique_ptr<SerialQueue> m_uploadQueue;
    std::unique_ptr<SerialQueue> m_audioCacheQueue;
};

} // namespace velnor
