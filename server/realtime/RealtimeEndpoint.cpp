#include "realtime/RealtimeEndpoint.h"

#include <QCommandLineParser>
#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebSocket>

#include "recognition/RecordingLimits.h"

#include <algorithm>

namespace velnor::server {

namespace {

constexpr std::size_t kMaxKeptStatistics = 200;
constexpr int kDefaultMaxSessions = 4;
// A 40 ms packet is 1280 bytes; nothing the protocol sends comes near this.
constexpr qint64 kMaxMessageBytes = 64 * 1024;
constexpr int kRefusedCloseWaitMs = 5000;
const QString kMaxSessionsOption = QStringLiteral("max-realtime-sessions");

QHttpServerResponse envelope(int code, const QString& message, const QJsonValue& data = QJsonValue())
{
    return QHttpServerResponse(QJsonObject{{QStringLiteral("code"), code},
                                           {QStringLiteral("msg"), message},
                                           {QStringLiteral("data"), data}});
}

bool isLoopback(const QHttpServerRequest& request)
{
    return request.remoteAddress().isLoopback();
}

QHttpServerResponse notFound()
{
    return QHttpServerResponse(QJsonObject{{QStringLiteral("code"), 404},
                                           {QStringLiteral("msg"), QStringLiteral("no such endpoint")},
                                           {QStringLiteral("data"), QJsonValue()}},
                               QHttpServerResponder::StatusCode::NotFound);
}

} // namespace

void RealtimeEndpoint::addOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("asr-app-id"),
                      QStringLiteral("Real-time recognition: the AppID clients connect to (/asr/v2/<AppID>)."),
                      QStringLiteral("ID")});
    parser.addOption({QStringLiteral("asr-secret-id"),
                      QStringLiteral("Real-time recognition: the SecretId clients sign with."), QStringLiteral("ID")});
    parser.addOption({QStringLiteral("asr-secret-key"),
                      QStringLiteral("Real-time recognition: the SecretKey that signs requests (HMAC-SHA1). Without "
                                     "the three account values every real-time connection is refused (4002). "
                                     "Unset options fall back to VELNOR_ASR_APP_ID, VELNOR_ASR_SECRET_ID and "
                                     "VELNOR_ASR_SECRET_KEY."),
                      QStringLiteral("KEY")});
    parser.addOption({QStringLiteral("asr-secret-key-file"),
                      QStringLiteral("Real-time recognition: read the SecretKey from this file (keeps it out of the "
                                     "process list)."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("realtime-host"),
                      QStringLiteral("Real-time recognition: the host[:port] text clients sign (default: the "
                                     "request's Host). With --test-controls, loopback clients may also use "
                                     "POST /__test/realtime/script, GET /__test/realtime/connections and "
                                     "POST /__test/realtime/reset (see server/realtime/RealtimeEndpoint.h)."),
                      QStringLiteral("HOST")});
    parser.addOption({kMaxSessionsOption,
                      QStringLiteral("Real-time recognition: streams served at once (with pocketsphinx, each with its own loaded decoder) "
                                     "(default %1); further connections are refused with code %2.")
                          .arg(kDefaultMaxSessions)
                          .arg(RealtimeSession::kTooManySessions),
                      QStringLiteral("N")});
}

std::unique_ptr<RealtimeEndpoint> RealtimeEndpoint::create(const QCommandLineParser& parser, QHttpServer& http,
                                                           StreamRecognizer* recognizer, bool testControls,
                                                           QString* error)
{
    auto valueOrEnvironment = [&parser](const char* option, const char* variable) {
        const QString value = parser.value(QLatin1String(option));
        return value.isEmpty() ? qEnvironmentVariable(variable) : value;
    };
    RealtimeCredentials credentials{valueOrEnvironment("asr-app-id", "VELNOR_ASR_APP_ID"),
                                    valueOrEnvironment("asr-secret-id", "VELNOR_ASR_SECRET_ID"),
                                    valueOrEnvironment("asr-secret-key", "VELNOR_ASR_SECRET_KEY")};
    if (const QString keyFile = parser.value(QStringLiteral("asr-secret-key-file")); !keyFile.isEmpty()) {
        QFile file(keyFile);
        if (!file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("cannot read --asr-secret-key-file %1: %2").arg(keyFile, file.errorString());
            return nullptr;
        }
        credentials.secretKey = QString::fromUtf8(file.readAll()).trimmed();
    }
    const bool any = !credentials.appId.isEmpty() || !credentials.secretId.isEmpty() || !credentials.secretKey.isEmpty();
    if (any && !credentials.isConfigured()) {
        if (error)
            *error = QStringLiteral("the real-time AppID, SecretId and SecretKey must be given together");
        return nullptr;
    }
    if (credentials.appId.contains(QLatin1Char('/'))) {
        if (error)
            *error = QStringLiteral("--asr-app-id must not contain '/'");
        return nullptr;
    }
    if (!credentials.isConfigured())
        qInfo("realtime: no AppID/SecretId/SecretKey configured; real-time connections will be refused");
    int maxSessions = kDefaultMaxSessions;
    if (parser.isSet(kMaxSessionsOption)) {
        bool ok = false;
        maxSessions = parser.value(kMaxSessionsOption).toInt(&ok);
        if (!ok || maxSessions < 1 || maxSessions > 1024) {
            if (error)
                *error = QStringLiteral("--%1: expected 1 to 1024, got %2").arg(kMaxSessionsOption, parser.value(kMaxSessionsOption));
            return nullptr;
        }
    }

    std::unique_ptr<RealtimeEndpoint> endpoint(new RealtimeEndpoint(http, recognizer, std::move(credentials),
                                                                     parser.value(QStringLiteral("realtime-host")),
                                                                     maxSessions));
    if (testControls)
        endpoint->registerTestRoutes();
    return endpoint;
}

RealtimeEndpoint::RealtimeEndpoint(QHttpServer& http, StreamRecognizer* recognizer, RealtimeCredentials credentials,
                                   QString hostOverride, int maxSessions)
    : m_http(http)
    , m_maxSessions(static_cast<std::size_t>(maxSessions))
    , m_usedVoiceIds(m_clock)
{
    m_sessionHost.credentials = std::move(credentials);
    m_sessionHost.hostOverride = std::move(hostOverride);
    m_sessionHost.clock = &m_clock;
    m_sessionHost.maxSessionMs = kMaxRealtimeSessionSeconds * 1000;
    m_sessionHost.recognizer = recognizer;
    m_sessionHost.claimVoiceId = [this](const QString& voiceId, qint64 expiresAt) {
        return m_usedVoiceIds.claim(voiceId, expiresAt);
    };

    // The upgrade is only taken over when a route matches its path; a plain
    // HTTP request to the path is told to upgrade.
    m_http.route(QStringLiteral("/asr/v2/<arg>"), [](const QString&, const QHttpServerRequest& request,
                                                     QHttpServerResponder&& responder) {
        if (request.value(QByteArrayLiteral("upgrade")).compare("websocket", Qt::CaseInsensitive) == 0)
            return;
        responder.write(QJsonDocument(QJsonObject{{QStringLiteral("code"), 4001},
                                                  {QStringLiteral("message"),
                                                   QStringLiteral("WebSocket upgrade required")}}),
                        QHttpServerResponder::StatusCode::UpgradeRequired);
    });
    connect(&m_http, &QAbstractHttpServer::newWebSocketConnection, this, &RealtimeEndpoint::acceptPending);
}

RealtimeEndpoint::~RealtimeEndpoint()
{
    m_sessions.clear();
}

void RealtimeEndpoint::drain()
{
    m_draining = true;
    for (const auto& entry : m_sessions)
        entry.second->finishNow();
}

bool RealtimeEndpoint::idle() const
{
    return std::all_of(m_sessions.cbegin(), m_sessions.cend(),
                       [](const auto& entry) { return entry.second->doneSending(); });
}

bool RealtimeEndpoint::acceptsStreams() const
{
    return m_sessionHost.credentials.isConfigured();
}

void RealtimeEndpoint::refuse(std::unique_ptr<QWebSocket> socket, int code, const QString& message)
{
    QWebSocket* raw = socket.release();
    raw->setParent(this);
    connect(raw, &QWebSocket::disconnected, raw, &QObject::deleteLater);
    raw->sendTextMessage(QString::fromUtf8(
        QJsonDocument(QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}})
            .toJson(QJsonDocument::Compact)));
    raw->close(QWebSocketProtocol::CloseCodeNormal);
    QTimer::singleShot(kRefusedCloseWaitMs, raw, &QWebSocket::abort); // a client that never answers the close
}

void RealtimeEndpoint::acceptPending()
{
    while (m_http.hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = m_http.nextPendingWebSocketConnection();
        if (!socket)
            continue;
        if (m_draining || !socket->requestUrl().path().startsWith(QLatin1String("/asr/v2/"))) {
            socket->close(m_draining ? QWebSocketProtocol::CloseCodeGoingAway : QWebSocketProtocol::CloseCodePolicyViolated,
                          m_draining ? QStringLiteral("shutting down") : QStringLiteral("no such endpoint"));
            socket.release()->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingFrameSize(kMaxMessageBytes);
        socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
        if (m_sessions.size() >= m_maxSessions) {
            qInfo("realtime: connection refused: %zu sessions already", m_sessions.size());
            refuse(std::move(socket), RealtimeSession::kTooManySessions,
                   QStringLiteral("too many real-time sessions at once; try again shortly"));
            continue;
        }
        auto stats = std::make_shared<RealtimeConnectionStats>();
        stats->id = m_nextConnectionId++;
        if (m_sessionHost.keepStatistics) {
            m_stats.push_back(stats);
            while (m_stats.size() > kMaxKeptStatistics)
                m_stats.pop_front();
        }

        std::optional<RealtimeScript> script;
        if (!m_scripts.empty()) {
            script = m_scripts.front();
            if (--m_scripts.front().count <= 0)
                m_scripts.pop_front();
        }
        auto session = std::make_unique<RealtimeSession>(std::move(socket), m_sessionHost, std::move(script), stats,
                                                         [this](RealtimeSession* ended) {
                                                             // Destroyed outside the socket's own signal.
                                                             QTimer::singleShot(0, this, [this, ended] { m_sessions.erase(ended); });
                                                         });
        RealtimeSession* raw = session.get();
        m_sessions.emplace(raw, std::move(session));
        raw->start();
    }
}

void RealtimeEndpoint::registerTestRoutes()
{
    m_sessionHost.keepStatistics = true;
    using Method = QHttpServerRequest::Method;
    m_http.route(QStringLiteral("/__test/realtime/script"), Method::Post, [this](const QHttpServerRequest& request) {
        if (!isLoopback(request))
            return notFound();
        QJsonParseError parseError;
        const QJsonDocument body = QJsonDocument::fromJson(request.body(), &parseError);
        if (!body.isObject())
            return envelope(400, QStringLiteral("the body must be a JSON object"));
        QString error;
        const std::optional<RealtimeScript> script = RealtimeScript::fromJson(body.object(), &error);
        if (!script)
            return envelope(400, error);
        m_scripts.push_back(*script);
        return envelope(0, QStringLiteral("success"), true);
    });
    m_http.route(QStringLiteral("/__test/realtime/connections"), Method::Get, [this](const QHttpServerRequest& request) {
        if (!isLoopback(request))
            return notFound();
        QJsonArray list;
        for (const auto& stats : m_stats)
            list.append(stats->toJson());
        return envelope(0, QStringLiteral("success"), list);
    });
    m_http.route(QStringLiteral("/__test/realtime/reset"), Method::Post, [this](const QHttpServerRequest& request) {
        if (!isLoopback(request))
            return notFound();
        m_scripts.clear();
        m_stats.clear();
        m_usedVoiceIds.clear();
        return envelope(0, QStringLiteral("success"), true);
    });
}

} // namespace velnor::server
