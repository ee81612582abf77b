// Loads a real velnor-server on loopback and prints:
//  1. requests per second on /app/check with 64 concurrent keep-alive clients;
//  2. latency (p50, p99) of /auth/sms/code alone and while 16 uploads of a real
//     .m4a recording are being decoded and recognised;
//  3. the server's peak RSS (VmHWM from /proc) with CAP signed real-time
//     sessions open and streaming audio.
// Usage: velnor_server_load_bench [CAP]   (default 8; passed as
// --max-realtime-sessions when the server has that option). Every loop is
// bounded in requests and time.
#include "realtime/RealtimeSignature.h"
#include "support/ServerProcess.h"
#include "support/SpeechFixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

using namespace velnor::server;

namespace {

const QString kAppId = QStringLiteral("1300000042");
const QString kSecretId = QStringLiteral("AKIDbenchsecretid");
const QString kSecretKey = QStringLiteral("bench-only-secret-key");

// One keep-alive HTTP/1.1 connection sending the requests `next` gives, one
// after another, until it gives an empty one.
class KeepAliveClient {
public:
    using NextRequest = std::function<QByteArray()>;
    using Answered = std::function<void(double ms, int status)>;

    // `from` picks the loopback address the connection comes from (the server
    // limits sign-in requests per address).
    KeepAliveClient(quint16 port, NextRequest next, Answered answered,
                    const QHostAddress& from = QHostAddress(QHostAddress::LocalHost))
        : m_next(std::move(next))
        , m_answered(std::move(answered))
    {
        QObject::connect(&m_socket, &QTcpSocket::connected, [this] { sendNext(); });
        QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] { read(); });
        QObject::connect(&m_socket, &QTcpSocket::disconnected, [this] { m_done = true; });
        m_socket.bind(from);
        m_socket.connectToHost(QHostAddress::LocalHost, port);
    }

    bool done() const { return m_done; }
    // How long the request in flight has waited so far; none when nothing is in flight.
    std::optional<double> pendingMs() const
    {
        return m_waiting ? std::optional<double>(m_timer.nsecsElapsed() / 1e6) : std::nullopt;
    }

private:
    void sendNext()
    {
        const QByteArray request = m_next();
        if (request.isEmpty()) {
            m_done = true;
            m_socket.disconnectFromHost();
            return;
        }
        m_timer.start();
        m_waiting = true;
        m_socket.write(request);
    }

    void read()
    {
        m_buffer += m_socket.readAll();
        const qsizetype headEnd = m_buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QByteArray head = m_buffer.left(headEnd).toLower();
        const qsizetype at = head.indexOf("content-length:");
        const qsizetype length = at < 0 ? 0 : head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        if (m_buffer.size() < headEnd + 4 + length)
            return;
        const int status = head.mid(9, 3).toInt();
        m_buffer.remove(0, headEnd + 4 + length);
        m_waiting = false;
        m_answered(m_timer.nsecsElapsed() / 1e6, status);
        sendNext();
    }

    QTcpSocket m_socket;
    NextRequest m_next;
    Answered m_answered;
    QElapsedTimer m_timer;
    QByteArray m_buffer;
    bool m_done = false;
    bool m_waiting = false;
};

// Runs the event loop until every client is done or `limitMs` passed.
void runUntilDone(const std::vector<std::unique_ptr<KeepAliveClient>>& clients, int limitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < limitMs
           && !std::all_of(clients.begin(), clients.end(), [](const auto& client) { return client->done(); }))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(std::ceil(p * values.size())) - 1)];
}

QByteArray smsRequest(int n)
{
    const QByteArray body = "{\"phone\":\"139" + QByteArray::number(10000000 + n) + "\"}";
    return "POST /auth/sms/code HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QString statusSummary(const std::map<int, int>& statuses)
{
    QStringList parts;
    for (const auto& [status, count] : statuses)
        parts << QStringLiteral("%1 x HTTP %2").arg(count).arg(status);
    return parts.join(QStringLiteral(", "));
}

void appCheckThroughput(quint16 port)
{
    constexpr int kClients = 64;
    constexpr int kRequests = 20000;
    const QByteArray request = "GET /app/check?current_version=1.0&platform=linux HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    int sent = 0;
    int answered = 0;
    std::map<int, int> statuses;
    std::vector<std::unique_ptr<KeepAliveClient>> clients;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kClients; ++i)
        clients.push_back(std::make_unique<KeepAliveClient>(
            port, [&] { return sent++ < kRequests ? request : QByteArray(); },
            [&](double, int status) { ++answered, ++statuses[status]; }));
    runUntilDone(clients, 60000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("/app/check, %d keep-alive clients: %d answers in %.2f s = %.0f requests/s (%s)\n", kClients, answered,
                seconds, answered / seconds, qPrintable(statusSummary(statuses)));
}

// p50/p99 of /auth/sms/code, one request at a time, while `uploads` recordings
// are uploaded over and over. The caller moves to the next loopback address
// (127.0.0.2, .3, …) before the server's per-address limit on code requests, so
// every sample is a real code issued, not a refusal.
void smsLatency(quint16 port, int uploads, const QByteArray& uploadRequest, int& phone, quint32& nextCaller)
{
    constexpr int kSamples = 300;
    constexpr int kPerCaller = 10;
    constexpr int kLimitMs = 30000;
    std::vector<double> latencies;
    std::map<int, int> statuses;
    int uploadsDone = 0;
    bool measuring = true;
    std::vector<std::unique_ptr<KeepAliveClient>> uploaders;
    for (int i = 0; i < uploads; ++i)
        uploaders.push_back(std::make_unique<KeepAliveClient>(
            port, [&] { return measuring ? uploadRequest : QByteArray(); }, [&](double, int) { ++uploadsDone; }));
    std::unique_ptr<KeepAliveClient> caller;
    int sentByCaller = 0;
    const auto newCaller = [&] {
        sentByCaller = 0;
        caller = std::make_unique<KeepAliveClient>(
            port,
            [&] {
                return latencies.size() < kSamples && sentByCaller++ < kPerCaller ? smsRequest(phone++) : QByteArray();
            },
            [&](double ms, int status) { latencies.push_back(ms), ++statuses[status]; },
            QHostAddress((127u << 24) + nextCaller++));
    };
    newCaller();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < kLimitMs && latencies.size() < kSamples) {
        if (caller->done())
            newCaller();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    measuring = false;
    // A request still unanswered at the end counts with the time it has waited (a lower bound).
    const std::optional<double> unanswered = caller->pendingMs();
    if (unanswered)
        latencies.push_back(*unanswered);
    std::printf("/auth/sms/code with %d uploads in flight: p50 %.1f ms, p99 %.1f ms over %zu requests (%s%s); "
                "%d uploads answered meanwhile\n",
                uploads, percentile(latencies, 0.5), percentile(latencies, 0.99), latencies.size(),
                qPrintable(statusSummary(statuses)), unanswered ? ", the last unanswered when the run ended" : "",
                uploadsDone);
}

QUrl signedRealtimeUrl(quint16 port, int n)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QMap<QString, QString> params{{"secretid", kSecretId},
                                  {"timestamp", QString::number(now)},
                                  {"expired", QString::number(now + 3600)},
                                  {"nonce", QString::number(QRandomGenerator::global()->bounded(1, 1 << 30))},
                                  {"engine_model_type", "16k_en"},
                                  {"voice_id", QStringLiteral("bench_%1_%2").arg(now).arg(n)},
                                  {"voice_format", "1"}};
    const QString host = QStringLiteral("127.0.0.1:%1").arg(port);
    const QString path = QStringLiteral("/asr/v2/") + kAppId;
    params.insert("signature", RealtimeSignature::expectedSignature(kSecretKey, host, path, params));
    QStringList query;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        query << it.key() + "=" + QString::fromLatin1(QUrl::toPercentEncoding(it.value()));
    return QUrl(QStringLiteral("ws://") + host + path + "?" + query.join('&'));
}

QByteArray procStatus(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return "?";
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).simplified();
    }
    return "?";
}

void realtimePeakMemory(quint16 port, qint64 pid, int cap, const std::vector<std::int16_t>& pcm)
{
    std::printf("server before real-time sessions: VmRSS %s, VmHWM %s\n", procStatus(pid, "VmRSS").constData(),
                procStatus(pid, "VmHWM").constData());
    std::vector<std::unique_ptr<QWebSocket>> sessions;
    std::vector<int> verdicts(cap + 1, -1);   // the first message's code, per session
    QString refusal;
    for (int i = 0; i <= cap; ++i) {   // one more than the cap
        auto socket = std::make_unique<QWebSocket>();
        QObject::connect(socket.get(), &QWebSocket::textMessageReceived, [&verdicts, &refusal, i](const QString& text) {
            if (verdicts[i] >= 0)
                return;
            verdicts[i] = QJsonDocument::fromJson(text.toUtf8()).object().value(QStringLiteral("code")).toInt(-2);
            if (verdicts[i] != 0)
                refusal = text;
        });
        socket->open(signedRealtimeUrl(port, i));
        sessions.push_back(std::move(socket));
    }
    QElapsedTimer timer;
    timer.start();
    while (std::count(verdicts.begin(), verdicts.end(), -1) > 0 && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const auto opened = std::count(verdicts.begin(), verdicts.end(), 0);
    const auto unanswered = std::count(verdicts.begin(), verdicts.end(), -1);
    const QByteArray audio(reinterpret_cast<const char*>(pcm.data()), static_cast<qsizetype>(pcm.size() * 2));
    for (const auto& socket : sessions) {
        for (qsizetype at = 0; at < audio.size(); at += 1280)
            socket->sendBinaryMessage(audio.mid(at, 1280));
    }
    timer.restart();
    while (timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::printf("real-time: %d of %d sessions accepted, %d refused (%s), %d unanswered; %.1f s of speech sent to "
                "each: server VmRSS %s, peak VmHWM %s\n",
                int(opened), cap + 1, int(cap + 1 - opened - unanswered), qPrintable(refusal), int(unanswered),
                pcm.size() / 16000.0, procStatus(pid, "VmRSS").constData(), procStatus(pid, "VmHWM").constData());
}

bool serverHasOption(const QString& option)
{
    QProcess help;
    help.start(QStringLiteral(VELNOR_BINARY_DIR "/server/velnor-server"), {QStringLiteral("--help")});
    help.waitForFinished(10000);
    return help.readAllStandardOutput().contains(option.toUtf8());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int cap = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 8;
    QTemporaryDir work;
    velnor::test::SpeechFixtures speech(work.path());
    const QString sentence = QStringLiteral("please send the quarterly report to the whole team before the meeting");
    const QByteArray m4a = speech.m4a(sentence);
    const std::vector<std::int16_t> pcm = speech.pcm16k(sentence);
    if (m4a.isEmpty() || pcm.empty()) {
        std::fprintf(stderr, "cannot make the recording: %s\n", qPrintable(speech.error()));
        return 1;
    }

    QStringList arguments{"--max-connections", "1024", "--max-connections-per-peer", "512", "--asr-app-id", kAppId,
                          "--asr-secret-id", kSecretId, "--asr-secret-key", kSecretKey};
    if (serverHasOption(QStringLiteral("--max-realtime-sessions")))
        arguments << QStringLiteral("--max-realtime-sessions") << QString::number(cap);
    else
        std::printf("(this server has no --max-realtime-sessions: opening %d sessions without a cap)\n", cap);
    velnor::test::ServerProcess server;
    if (!server.start(work.filePath(QStringLiteral("data")), arguments, false)) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    const auto port = static_cast<quint16>(server.url().port());

    velnor::test::MultipartBody body("Boundary-bench-7d1e2f");
    body.field("file_type", "m4a").field("version", "v2").field("over_over", "false").file("file", "audio.m4a", "audio/m4a", m4a);
    const QByteArray payload = body.finish();
    const QByteArray upload = "POST /qasr/recognize HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + body.contentType()
        + "\r\nContent-Length: " + QByteArray::number(payload.size()) + "\r\n\r\n" + payload;

    std::printf("velnor-server on 127.0.0.1:%u (pid %lld); upload: %lld bytes of m4a\n", port,
                static_cast<long long>(server.processId()), static_cast<long long>(m4a.size()));
    appCheckThroughput(port);
    int phone = 0;
    quint32 nextCaller = 2;   // 127.0.0.2 onwards
    smsLatency(port, 0, upload, phone, nextCaller);
    smsLatency(port, 16, upload, phone, nextCaller);
    realtimePeakMemory(port, server.processId(), cap, pcm);
    server.stop();
    return 0;
}
