#pragma once

#include "asr/TencentASRConfig.h"
#include "asr/TencentASRConnectionState.h"
#include "asr/Pacer.h"
#include "asr/TencentASREnvironment.h"
#include "asr/TencentASRWebSocketClient.h"
#include "core/SerialQueue.h"
#include "platform/AudioFormat.h"

#include <QMap>

#include <atomic>
#include <memory>
#include <optional>

namespace velnor {

class TencentASRService;

// Every call arrives on the main thread.
class TencentASRServiceDelegate {
public:
    TencentASRServiceDelegate() = default;
    virtual ~TencentASRServiceDelegate() = default;
    TencentASRServiceDelegate(const TencentASRServiceDelegate&) = delete;
    TencentASRServiceDelegate& operator=(const TencentASRServiceDelegate&) = delete;

    virtual void tencentASRServiceDidChangeConnectionState(TencentASRService& service,
                                                           const TencentASRConnectionState& state) = 0;
    virtual void tencentASRServiceDidReceiveResult(TencentASRService& service, const TencentASRResult& result) = 0;
    virtual void tencentASRServiceDidReceivePartialResult(TencentASRService& service, const QString& text) = 0;
    virtual void tencentASRServiceDidReceiveFinalResult(TencentASRService& service, const QString& text) = 0;
    virtual void tencentASRServiceDidEncounterError(TencentASRService& service, const TencentASRError& error) = 0;
    virtual void tencentASRServiceDidComplete(TencentASRService& service) = 0;
};

// The recognition object the cached client talks to: validates the
// configuration, makes a WebSocket client per connection, turns audio into
// 40 ms packets streamed at real-time pace on "com.velnor.tencent.asr.processing",
// and assembles the transcript from the per-segment results.
//
// Public operations run on the main thread, except sendAudioBuffer() and
// sendAudioData(), which may be called from any thread.
class TencentASRService final : public TencentASRWebSocketClientDelegate {
public:
    TencentASRService(TencentASRConfig config, const TencentASREnvironment& environment);
    ~TencentASRService() override;

    // The delegate must outlive the service (it owns the service).
    void setDelegate(TencentASRServiceDelegate* delegate) { m_delegate = delegate; }

    void connect();
    void disconnect();
    void startRecognition();
    void stopRecognition();
    void sendAudioBuffer(const AudioBuffer& buffer);
    void sendAudioData(const QByteArray& data);
    std::optional<TencentASRError> validateConfig() const;

    const TencentASRConfig& config() const { return m_config; }
    const TencentASRConnectionState& connectionState() const { return m_connectionState; }
    bool isRecognizing() const { return m_isRecognizing.load(); }
    const QString& currentText() const { return m_currentText; }
    const QString& finalText() const { return m_finalText; }
    TencentASRWebSocketClient* webSocketClient() const { return m_webSocketClient.get(); }
    // Bytes per packet: sampleRate × 2 × 40 / 1000 (1280 at 16 kHz).
    qint64 packetSize() const { return m_config.sampleRate * 2 * 40 / 1000; }

    // 16-bit little-endian PCM of channel 0; none when the buffer is unusable.
    static std::optional<QByteArray> convertPCMBufferToData(const AudioBuffer& buffer, TencentASRLogger& log);

    // Blocks until the processing queue has handed on what it holds (tests, benchmarks).
    void waitForProcessing() { m_audioProcessingQueue.waitUntilIdle(); }

    void webSocketClientDidChangeState(TencentASRWebSocketClient& client, const TencentASRConnectionState& state) override;
    void webSocketClientDidReceiveResult(TencentASRWebSocketClient& client, const TencentASRResult& result) override;
    void webSocketClientDidComplete(TencentASRWebSocketClient& client, bool success) override;
    void webSocketClientDidEncounterError(TencentASRWebSocketClient& client, const TencentASRError& error) override;

private:
    void processAudioData(const QByteArray& data, quint64 epoch);
    void sendBufferedRemainder();
    void handToClient(const QByteArray& packet);
    void updateRecognitionText(const TencentASRResult& result);
    void resetRecognitionState();
    void handleError(const TencentASRError& error);
    void postToDelegate(std::function<void(TencentASRServiceDelegate&)> call);

    const TencentASRConfig m_config;
    const TencentASREnvironment m_environment;
    TencentASRLogger& m_log;
    TencentASRServiceDelegate* m_delegate = nullptr;
    std::unique_ptr<TencentASRWebSocketClient> m_webSocketClient;

    // Main thread.
    TencentASRConnectionState m_connectionState;
    QString m_currentText;
    QString m_finalText;
    QMap<qint64, QString> m_recognitionSegments;
    // The stream the segments belong to, and the text of the streams before it.
    QString m_segmentsVoiceId;
    QString m_earlierStreamsText;

    // Read from any thread.
    std::atomic<bool> m_isRecognizing{false};
    // Bumped by disconnect(): queued audio of an ended connection is dropped.
    std::atomic<quint64> m_epoch{0};

    // Processing queue only.
    QByteArray m_audioBuffer;
    std::optional<Pacer::TimePoint> m_lastAudioSendTime;

    std::shared_ptr<char> m_life = std::make_shared<char>();
    // Last member: destroyed first, while everything its work touches still exists.
    SerialQueue m_audioProcessingQueue{QStringLiteral("com.velnor.tencent.asr.processing")};
};

} // namespace velnor
