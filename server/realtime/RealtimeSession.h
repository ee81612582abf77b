#pragma once

#include "realtime/RealtimeScript.h"
#include "realtime/RealtimeSignature.h"
#include "realtime/RealtimeStatistics.h"
#include "realtime/UsedVoiceIds.h"
#include "recognition/Recognizer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QWebSocket;

namespace velnor::server {

// What a session needs from its endpoint.
struct RealtimeSessionHost {
    RealtimeCredentials credentials;
    QString hostOverride; // the host text clients sign; empty = the request's Host
    // Opens the recognition of each stream that is not scripted.
    StreamRecognizer* recognizer = nullptr;
    // Whether the voice id of a URL valid until `expiresAt` (seconds since 1970) may open a stream.
    std::function<UsedVoiceIds::Claim(const QString& voiceId, qint64 expiresAt)> claimVoiceId;
    const Clock* clock = nullptr;
    // A stream ends (with its final text) after this long.
    int maxSessionMs = 0;
    // Packet arrival times and the audio itself are kept only for the test routes.
    bool keepStatistics = false;
};

// One real-time recognition stream on one WebSocket: checks the signed URL,
// answers the handshake, decodes the 16-bit PCM as it arrives (or plays a
// test script), sends per-segment results, and ends with a "final" message
// and a normal close. Enforces the protocol's limits.
class RealtimeSession final : public QObject {
public:
    static constexpr int kTooFast = 4000;
    static constexpr int kNoAudio = 4008;
    static constexpr int kBadMessage = 4010;
    static constexpr int kInternal = 4005;
    static constexpr int kTooManySessions = 4006;

    RealtimeSession(std::unique_ptr<QWebSocket> socket, const RealtimeSessionHost& host,
                    std::optional<RealtimeScript> script, std::shared_ptr<RealtimeConnectionStats> stats,
                    std::function<void(RealtimeSession*)> finished);
    ~RealtimeSession() override;

    void start();
    // Server shutdown: the audio received so far is finished and answered, then the stream closes.
    void finishNow();
    // The stream's last message and its close have been handed to the network (or it is gone).
    bool doneSending() const;

private:
    void scheduleHandshake();
    void sendHandshake();
    bool takesAudio() const;
    void onBinary(const QByteArray& data);
    void onText(const QString& text);
    void openRecognition(const RealtimeVerdict& verdict);
    void onRecognitionEvent(const StreamEvent& event);
    void runScriptFor(int packetCount);
    void finishStream();
    void sendFinal();
    void sendResult(qint64 sliceType, qint64 index, qint64 startMs, qint64 endMs, const QString& text);
    void sendJson(const QJsonObject& json);
    void failWith(int code, const QString& message, bool close = true);
    void closeNormally();
    double elapsedMs() const;

    std::unique_ptr<QWebSocket> m_socket;
    const RealtimeSessionHost& m_host;
    std::optional<RealtimeScript> m_script;
    std::shared_ptr<RealtimeConnectionStats> m_stats;
    std::function<void(RealtimeSession*)> m_finished;

    QElapsedTimer m_clock;
    QTimer m_idleTimer;
    QTimer m_lengthTimer;
    bool m_ready = false; // the handshake was sent
    bool m_ended = false;
    bool m_closeSent = false;
    int m_messageCounter = 0;
    int m_packetCount = 0;
    qsizetype m_nextScriptedResult = 0;
    std::deque<std::pair<double, qint64>> m_recentAudio; // (arrival ms, bytes) within the last second
    qint64 m_recentBytes = 0;

    // Recognition runs off the event loop; its events come back through it.
    std::unique_ptr<StreamRecognition> m_recognition;
};

} // namespace velnor::server
