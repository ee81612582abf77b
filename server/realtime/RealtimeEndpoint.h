#pragma once

#include "realtime/RealtimeScript.h"
#include "realtime/RealtimeSession.h"
#include "realtime/RealtimeStatistics.h"
#include "realtime/UsedVoiceIds.h"
#include "recognition/Recognizer.h"

#include <QObject>

#include <deque>
#include <map>
#include <memory>
#include <vector>

class QCommandLineParser;
class QHttpServer;
class QHttpServerRequest;
class QWebSocket;

namespace velnor::server {

// The real-time recognition endpoint "/asr/v2/<appid>" on the HTTP server's
// port (ws://, or wss:// when the server runs TLS).
//
// Options: --asr-app-id, --asr-secret-id, --asr-secret-key or
// --asr-secret-key-file (the account clients sign with, falling back to
// VELNOR_ASR_APP_ID / _SECRET_ID / _SECRET_KEY; without them every connection
// is refused with 4002) and --realtime-host (the host text clients sign;
// default: the request's Host), --max-realtime-sessions (streams at once;
// more are refused with 4006). Messages are limited to 64 KiB and a stream to
// the app's longest recording plus a margin.
//
// With --test-controls, loopback clients also get:
//   POST /__test/realtime/script       queue a script for the next connection(s):
//        {"handshake_delay_ms":0, "count":1,
//         "results":[{"after_packets":2,"slice_type":0,"index":0,"text":"…","start_time":0,"end_time":0}],
//         "final_results":[…], "reject":{"code":4002,"message":"…"},
//         "error":{"code":4008,"message":"…","after_packets":3,"close":false},
//         "abnormal_close_after_packets":5, "drop_after_packets":5}
//   GET  /__test/realtime/connections  per-connection statistics (kept only with test controls) (packet sizes and arrival times,
//                                      end marker and final times, close code, audio SHA-1)
//   POST /__test/realtime/reset        clears scripts, statistics and used voice ids
class RealtimeEndpoint final : public QObject {
public:
    static void addOptions(QCommandLineParser& parser);
    // Registers "/asr/v2/<appid>" on `http` (route + newWebSocketConnection) and, when testControls,
    // "/__test/realtime/..." routes. Streams are recognised by `recognizer` (none: every stream fails
    // with 4005). None (with *error) on bad options.
    static std::unique_ptr<RealtimeEndpoint> create(const QCommandLineParser& parser, QHttpServer& http,
                                                    StreamRecognizer* recognizer, bool testControls,
                                                    QString* error);
    ~RealtimeEndpoint() override;

    // Shutting down: no new stream starts, open ones end with the final text of what they sent.
    void drain();
    // Every stream has sent its last message.
    bool idle() const;
    // Clients can sign URLs for it (without the account every connection is refused).
    bool acceptsStreams() const;

private:
    RealtimeEndpoint(QHttpServer& http, StreamRecognizer* recognizer, RealtimeCredentials credentials,
                     QString hostOverride, int maxSessions);

    void acceptPending();
    // Tells the client `code` and closes, without starting a session.
    void refuse(std::unique_ptr<QWebSocket> socket, int code, const QString& message);
    void registerTestRoutes();

    QHttpServer& m_http;
    std::size_t m_maxSessions;
    SystemClock m_clock;
    UsedVoiceIds m_usedVoiceIds;
    RealtimeSessionHost m_sessionHost;
    std::deque<RealtimeScript> m_scripts;
    std::deque<std::shared_ptr<RealtimeConnectionStats>> m_stats;
    int m_nextConnectionId = 1;
    bool m_draining = false;
    std::map<RealtimeSession*, std::unique_ptr<RealtimeSession>> m_sessions;
};

} // namespace velnor::server
