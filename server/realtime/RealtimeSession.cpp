#include "realtime/RealtimeSession.h"

#include "recognition/ContextFromRequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebSocket>


namespace velnor::server {

namespace {

constexpr int kBytesPerSecond = 16000 * 2;
constexpr int kNoAudioTimeoutMs = 15000;
constexpr qint64 kMaxAudioPerSecond = 3 * kBytesPerSecond;

QString hostTextOf(const QUrl& url)
{
    return url.port() > 0 ? url.host() + QLatin1Char(':') + QString::number(url.port()) : url.host();
}

} // namespace

RealtimeSession::RealtimeSession(std::unique_ptr<QWebSocket> socket, const RealtimeSessionHost& host,
                                 std::optional<RealtimeScript> script, std::shared_ptr<RealtimeConnectionStats> stats,
                                 std::function<void(RealtimeSession*)> finished)
    : m_socket(std::move(socket))
    , m_host(host)
    , m_script(std::move(script))
    , m_stats(std::move(stats))
    , m_finished(std::move(finished))
{
    m_clock.start();
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(kNoAudioTimeoutMs);
    connect(&m_idleTimer, &QTimer::timeout, this,
            [this] { failWith(kNoAudio, QStringLiteral("no audio received for 15 seconds")); });
    m_lengthTimer.setSingleShot(true);
    connect(&m_lengthTimer, &QTimer::timeout, this, [this] {
        qInfo("realtime: connection %d reached the longest session; finishing it", m_stats->id);
        finishStream();
    });
}

RealtimeSession::~RealtimeSession()
{
    // Stopped first: no result is posted to a half-destroyed session.
    m_recognition.reset();
    if (m_socket)
        m_socket->disconnect(this);
}

double RealtimeSession::elapsedMs() const
{
    return double(m_clock.nsecsElapsed()) / 1.0e6;
}

void RealtimeSession::start()
{
    QWebSocket* socket = m_socket.get();
    connect(socket, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray& data) { onBinary(data); });
    connect(socket, &QWebSocket::textMessageReceived, this, [this](const QString& text) { onText(text); });
    connect(socket, &QWebSocket::disconnected, this, [this] {
        m_stats->closeCode = m_socket->closeCode();
        m_idleTimer.stop();
        m_lengthTimer.stop();
        qInfo("realtime: connection %d closed (code %d)", m_stats->id, m_stats->closeCode);
        if (m_finished)
            m_finished(this);
    });

    const QUrl url = m_socket->requestUrl();
    const QString hostText = m_host.hostOverride.isEmpty() ? hostTextOf(url) : m_host.hostOverride;
    RealtimeVerdict verdict =
        RealtimeSignature::verify(m_host.credentials, hostText, url.path(), url.query(QUrl::FullyEncoded).toLatin1(),
                                  m_host.clock->nowMs() / 1000);
    m_stats->voiceId = verdict.voiceId;
    m_stats->hotwordList = verdict.params.value(QStringLiteral("hotword_list"));
    if (verdict.accepted()) {
        switch (m_host.claimVoiceId(verdict.voiceId, verdict.params.value(QStringLiteral("expired")).toLongLong())) {
        case UsedVoiceIds::Claim::Accepted:
            break;
        case UsedVoiceIds::Claim::Reused:
            verdict.code = RealtimeSignature::kParameterError;
            verdict.message = QStringLiteral("voice_id %1 was already used").arg(verdict.voiceId);
            break;
        case UsedVoiceIds::Claim::Full:
            verdict.code = kTooManySessions;
            verdict.message = QStringLiteral("too many recent real-time connections");
            break;
        }
    }
    if (!verdict.accepted()) {
        m_stats->rejectCode = verdict.code;
        m_stats->rejectMessage = verdict.message;
        qInfo("realtime: connection %d refused: %d %s", m_stats->id, verdict.code, qPrintable(verdict.message));
        failWith(verdict.code, verdict.message);
        return;
    }
    if (m_script && m_script->reject) {
        m_stats->rejectCode = m_script->reject->code;
        m_stats->rejectMessage = m_script->reject->message;
        failWith(m_script->reject->code, m_script->reject->message);
        return;
    }
    m_stats->accepted = true;
    qInfo("realtime: connection %d accepted, voice_id %s", m_stats->id, qPrintable(verdict.voiceId));
    m_lengthTimer.start(m_script && m_script->maxSessionMs ? *m_script->maxSessionMs : m_host.maxSessionMs);

    if (!m_script || !m_script->scriptedText) {
        openRecognition(verdict);
        return;
    }
    scheduleHandshake();
}

void RealtimeSession::openRecognition(const RealtimeVerdict& verdict)
{
    if (!m_host.recognizer) {
        failWith(kInternal, QStringLiteral("no recogniser configured"));
        return;
    }
    RecognitionContext context;
    context.language = languageOfEngineModel(verdict.params.value(QStringLiteral("engine_model_type")));
    context.hotWords = hotWordsOfList(verdict.params.value(QStringLiteral("hotword_list")));
    // The handshake waits until the recogniser is ready (loading happens off the event loop).
    m_recognition = m_host.recognizer->open(verdict.voiceId, context, [this](const StreamEvent& event) {
        QMetaObject::invokeMethod(this, [this, event] { onRecognitionEvent(event); }, Qt::QueuedConnection);
    });
}

void RealtimeSession::scheduleHandshake()
{
    const int delay = m_script ? m_script->handshakeDelayMs : 0;
    if (delay > 0)
        QTimer::singleShot(delay, this, [this] { sendHandshake(); });
    else
        sendHandshake();
}

void RealtimeSession::sendHandshake()
{
    // A stream the client already ended still gets its handshake (before its results).
    if (m_ended && m_stats->endMarkerMs < 0)
        return;
    sendJson(QJsonObject{{QStringLiteral("code"), 0},
                         {QStringLiteral("message"), QStringLiteral("success")},
                         {QStringLiteral("voice_id"), m_stats->voiceId}});
    m_stats->handshakeMs = elapsedMs();
    m_ready = true;
    m_idleTimer.start();
}

bool RealtimeSession::takesAudio() const
{
    // Clients that stream as soon as the socket opens do not wait for the
    // handshake: while the recogniser gets ready, it queues their audio. A
    // scripted stream without one takes audio only after its handshake.
    return m_ready || m_recognition;
}

void RealtimeSession::sendJson(const QJsonObject& json)
{
    m_socket->sendTextMessage(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
}

void RealtimeSession::failWith(int code, const QString& message, bool close)
{
    m_stats->errorCode = code;
    QJsonObject json{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}};
    if (!m_stats->voiceId.isEmpty())
        json.insert(QStringLiteral("voice_id"), m_stats->voiceId);
    sendJson(json);
    if (close) {
        m_ended = true;
        closeNormally();
    }
}

void RealtimeSession::closeNormally()
{
    m_idleTimer.stop();
    m_lengthTimer.stop();
    m_socket->close(QWebSocketProtocol::CloseCodeNormal);
    m_closeSent = true;
}

void RealtimeSession::finishNow()
{
    if (!m_ended)
        finishStream();
}

bool RealtimeSession::doneSending() const
{
    return m_socket->state() != QAbstractSocket::ConnectedState || (m_closeSent && m_socket->bytesToWrite() == 0);
}

void RealtimeSession::onText(const QString& text)
{
    if (m_ended)
        return;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (takesAudio() && document.isObject()
        && document.object().value(QStringLiteral("type")).toString() == QLatin1String("end")) {
        finishStream();
        return;
    }
    failWith(kBadMessage, QStringLiteral("unexpected text message"));
}

void RealtimeSession::onBinary(const QByteArray& data)
{
    if (m_ended || !takesAudio())
        return;
    const double now = elapsedMs();
    if (data.isEmpty()) {
        finishStream();
        return;
    }
    m_idleTimer.start();
    ++m_packetCount;
    if (m_host.keepStatistics) {
        m_stats->packets.append({data.size(), now});
        if (m_stats->audio.size() + data.size() <= RealtimeConnectionStats::kMaxAudioBytes)
            m_stats->audio.append(data);
    }

    // More than 3 s of audio within one second: the client is not pacing.
    m_recentAudio.emplace_back(now, data.size());
    m_recentBytes += data.size();
    while (!m_recentAudio.empty() && m_recentAudio.front().first < now - 1000.0) {
        m_recentBytes -= m_recentAudio.front().second;
        m_recentAudio.pop_front();
    }
    if (m_recentBytes > kMaxAudioPerSecond) {
        failWith(kTooFast, QStringLiteral("audio arrives faster than real time"));
        return;
    }

    if (m_recognition)
        m_recognition->push(data);
    runScriptFor(m_packetCount);
}

void RealtimeSession::runScriptFor(int packetCount)
{
    if (!m_script)
        return;
    while (m_nextScriptedResult < m_script->results.size()
           && m_script->results[m_nextScriptedResult].afterPackets <= packetCount) {
        const RealtimeScript::Result& r = m_script->results[m_nextScriptedResult++];
        sendResult(r.sliceType, r.index, r.startTime, r.endTime, r.text);
    }
    if (m_script->error && m_script->error->afterPackets == packetCount) {
        const RealtimeScript::Error error = *m_script->error;
        failWith(error.code, error.message, error.close);
        if (error.close)
            return;
    }
    if (m_script->abnormalCloseAfterPackets && *m_script->abnormalCloseAfterPackets == packetCount) {
        m_ended = true;
        m_idleTimer.stop();
        m_socket->close(QWebSocketProtocol::CloseCodeBadOperation, QStringLiteral("scripted abnormal close"));
        return;
    }
    if (m_script->dropAfterPackets && *m_script->dropAfterPackets == packetCount) {
        m_ended = true;
        m_idleTimer.stop();
        m_socket->abort();
    }
}

void RealtimeSession::onRecognitionEvent(const StreamEvent& event)
{
    using Kind = StreamEvent::Kind;
    switch (event.kind) {
    case Kind::Ready:
        scheduleHandshake();
        return;
    case Kind::Failed:
        if (m_closeSent)
            return;
        qWarning("realtime: connection %d: the %s recogniser failed: %s", m_stats->id,
                 qPrintable(m_host.recognizer->name()), qPrintable(event.error));
        failWith(event.code ? event.code : kInternal, QStringLiteral("recogniser unavailable: ") + event.error);
        return;
    case Kind::Finished:
        sendFinal();
        return;
    case Kind::Segment:
        if (m_ended && m_stats->endMarkerMs < 0)
            return; // the stream was broken off; nothing more is said
        sendResult(event.segment.sliceType, event.segment.index, event.segment.startMs, event.segment.endMs,
                   event.segment.text);
        return;
    }
}

void RealtimeSession::finishStream()
{
    if (m_ended)
        return;
    m_ended = true;
    m_idleTimer.stop();
    m_lengthTimer.stop();
    m_stats->endMarkerMs = elapsedMs();
    // With a recogniser, the final message follows its last segment.
    if (m_recognition)
        m_recognition->finish();
    else
        sendFinal();
}

void RealtimeSession::sendFinal()
{
    if (m_script) {
        for (const RealtimeScript::Result& r : std::as_const(m_script->finalResults))
            sendResult(r.sliceType, r.index, r.startTime, r.endTime, r.text);
    }
    sendJson(QJsonObject{{QStringLiteral("code"), 0},
                         {QStringLiteral("message"), QStringLiteral("success")},
                         {QStringLiteral("voice_id"), m_stats->voiceId},
                         {QStringLiteral("message_id"), m_stats->voiceId + QStringLiteral("_final")},
                         {QStringLiteral("final"), 1}});
    m_stats->finalMs = elapsedMs();
    closeNormally();
}

void RealtimeSession::sendResult(qint64 sliceType, qint64 index, qint64 startMs, qint64 endMs, const QString& text)
{
    if (sliceType == 2)
        m_stats->segmentTexts.append(text);
    const QJsonObject result{{QStringLiteral("slice_type"), sliceType},  {QStringLiteral("index"), index},
                             {QStringLiteral("start_time"), startMs},     {QStringLiteral("end_time"), endMs},
                             {QStringLiteral("voice_text_str"), text},    {QStringLiteral("word_size"), 0},
                             {QStringLiteral("word_list"), QJsonArray()}};
    sendJson(QJsonObject{{QStringLiteral("code"), 0},
                         {QStringLiteral("message"), QStringLiteral("success")},
                         {QStringLiteral("voice_id"), m_stats->voiceId},
                         {QStringLiteral("message_id"),
                          m_stats->voiceId + QLatin1Char('_') + QString::number(++m_messageCounter)},
                         {QStringLiteral("result"), result},
                         {QStringLiteral("final"), 0}});
}

} // namespace velnor::server
