#pragma once

#include "asr/TencentASRConfig.h"
#include "asr/TencentASRConnectionState.h"
#include "asr/TencentASREnvironment.h"
#include "asr/TencentASRResponse.h"
#include "core/Scheduler.h"
#include "core/SerialQueue.h"

#include <memory>

namespace velnor {

class TencentASRWebSocketClient;

// Every call arrives on the main thread.
class TencentASRWebSocketClientDelegate {
public:
    TencentASRWebSocketClientDelegate() = default;
    virtual ~TencentASRWebSocketClientDelegate() = default;
    TencentASRWebSocketClientDelegate(const TencentASRWebSocketClientDelegate&) = delete;
    TencentASRWebSocketClientDelegate& operator=(const TencentASRWebSocketClientDelegate&) = delete;

    virtual void webSocketClientDidChangeState(TencentASRWebSocketClient& client,
                                               const TencentASRConnectionState& state) = 0;
    virtual void webSocketClientDidReceiveResult(TencentASRWebSocketClient& client, const TencentASRResult& result) = 0;
    virtual void webSocketClientDidComplete(TencentASRWebSocketClient& client, bool success) = 0;
    virtual void webSocketClientDidEncounterError(TencentASRWebSocketClient& client, const TencentASRError& error) = 0;
};

// One recognition connection: opens the signed URL, tracks the state, sends
// audio packets and the end marker, decodes the server's messages and
// reconnects after errors (2, 4, 6 s). Lives on the main thread; audio sends
// are serialised on "com.velnor.tencent.asr.audio".
class TencentASRWebSocketClient final {
public:
    TencentASRWebSocketClient(TencentASRConfig config, const TencentASREnvironment& environment);
    ~TencentASRWebSocketClient();
    TencentASRWebSocketClient(const TencentASRWebSocketClient&) = delete;
    TencentASRWebSocketClient& operator=(const TencentASRWebSocketClient&) = delete;

    // The delegate must outlive the client (its owner).
    void setDelegate(TencentASRWebSocketClientDelegate* delegate) { m_delegate = delegate; }

    void connect();
    void disconnect();
    void startAudioStream();
    void sendAudioData(const QByteArray& data);
    void stopAudioStream();

    const TencentASRConnectionState& connectionState() const { return m_state; }
    const QString& voiceId() const { return m_voiceId; }
    qint64 retryCount() const { return m_retryCount; }
    bool isAudioStreamActive() const { return m_isAudioStreamActive; }

    // Blocks until the audio queue has handed on what it holds (tests).
    void waitForAudioQueue() { m_audioQueue.waitUntilIdle(); }

private:
    void handleOpened();
    void handleClosed(int closeCode);
    void handleFailed(const QString& description);
    void handleReceivedText(const QString& text);
    void handleReceivedBinary(const QByteArray& data);
    void parseTextMessage(const QString& text);
    void handleASRResponse(const TencentASRResponse& response);
    void handleError(const TencentASRError& error);
    void attemptReconnection();
    void checkConnectionTimeout();
    void notifyStateChange();
    void setState(TencentASRConnectionState state) { m_state = std::move(state); }
    void dropSocket();
    void queueSend(const QByteArray& data, bool endMarker);
    void postToDelegate(std::function<void(TencentASRWebSocketClientDelegate&)> call);

    const TencentASRConfig m_config;
    Scheduler& m_scheduler;
    MainQueue& m_mainQueue;
    TencentASRLogger& m_log;
    const TencentASRSignature& m_signature;
    const TencentASRSocketFactory m_socketFactory;

    TencentASRWebSocketClientDelegate* m_delegate = nullptr;
    std::unique_ptr<TencentASRSocket> m_socket;
    quint64 m_socketGeneration = 0;
    QString m_voiceId;
    TencentASRConnectionState m_state;
    qint64 m_retryCount = 0;
    Cancellable m_reconnectTimer;
    Cancellable m_connectionTimer;
    bool m_isAudioStreamActive = false;

    // Posted main-thread work checks this token and does nothing once the client is gone.
    std::shared_ptr<char> m_life = std::make_shared<char>();
    // Last member: destroyed first, so its remaining work still sees every other member.
    SerialQueue m_audioQueue{QStringLiteral("com.velnor.tencent.asr.audio")};
};

} // namespace velnor
