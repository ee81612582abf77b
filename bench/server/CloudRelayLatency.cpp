// The cloud relay's added latency on loopback: the time from the end message
// to the final result, straight to a real-time endpoint and through the
// cloud recogniser's relay to the same endpoint, in the same run. The
// endpoint is a velnor-server with scripted results, so its own decoding
// does not blur the figure.
// Usage: velnor_cloud_relay_bench [rounds]   (default 50; each round one direct and one relayed stream)
#include "recognition/cloud/CloudStreamRecognizer.h"
#include "recognition/cloud/RelayProtocol.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QWebSocket>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velnor::server;
using namespace velnor::server::cloud;

namespace {

constexpr int kPackets = 5;

qint64 wallClock()
{
    return QDateTime::currentSecsSinceEpoch();
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

// A client straight to the endpoint: end message → final message, in ms; -1 on failure.
double direct(const CloudSettings& settings, const QString& voiceId)
{
    QWebSocket socket;
    QElapsedTimer sinceEnd;
    double result = -1;
    bool done = false;
    QObject::connect(&socket, &QWebSocket::connected, &socket, [&] {
        for (int i = 0; i < kPackets; ++i)
            socket.sendBinaryMessage(QByteArray(1280, char(i)));
    });
    QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [&](const QString& text) {
        const QJsonObject json = QJsonDocument::fromJson(text.toUtf8()).object();
        if (json.value(QStringLiteral("code")).toInt(-1) != 0) {
            done = true;
        } else if (!sinceEnd.isValid()) { // the handshake
            sinceEnd.start();
            socket.sendTextMessage(QStringLiteral(R"({"type":"end"})"));
        } else if (json.value(QStringLiteral("final")).toInt() == 1) {
            result = double(sinceEnd.nsecsElapsed()) / 1e6;
            done = true;
        }
    });
    socket.open(RelayProtocol::signedUrl(settings, voiceId, {}, wallClock(), 1));
    velnor::test::waitUntil([&] { return done; }, 10000);
    return result;
}

// The same through the relay: finish() → Finished.
double relayed(const CloudSettings& settings, const QString& voiceId)
{
    CloudStreamRecognizer recognizer(settings, wallClock);
    QElapsedTimer sinceEnd;
    double result = -1;
    bool done = false;
    std::unique_ptr<StreamRecognition> stream;
    stream = recognizer.open(voiceId, {}, [&](const StreamEvent& event) {
        if (event.kind == StreamEvent::Kind::Ready) {
            for (int i = 0; i < kPackets; ++i)
                stream->push(QByteArray(1280, char(i)));
            sinceEnd.start();
            stream->finish();
        } else if (event.kind == StreamEvent::Kind::Finished || event.kind == StreamEvent::Kind::Failed) {
            if (event.kind == StreamEvent::Kind::Finished)
                result = double(sinceEnd.nsecsElapsed()) / 1e6;
            else
                std::fprintf(stderr, "relay failed: %s\n", qPrintable(event.error));
            done = true;
        }
    });
    velnor::test::waitUntil([&] { return done; }, 10000);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 50;
    QTemporaryDir work;
    CloudSettings settings;
    settings.appId = QStringLiteral("1300000123");
    settings.secretId = QStringLiteral("AKIDrelaybench00000000000000000000000");
    settings.secretKey = QStringLiteral("relay-bench-key-000000000000000");
    QFile key(work.filePath(QStringLiteral("key")));
    if (!key.open(QIODevice::WriteOnly) || key.write(settings.secretKey.toUtf8()) < 0)
        return 1;
    key.close();

    velnor::test::ServerProcess upstream;
    if (!upstream.start(work.path(), {QStringLiteral("--asr-app-id"), settings.appId, QStringLiteral("--asr-secret-id"),
                                      settings.secretId, QStringLiteral("--asr-secret-key-file"), key.fileName()})) {
        std::fprintf(stderr, "cannot start velnor-server: %s\n", qPrintable(upstream.error()));
        return 1;
    }
    // Every stream of the run answers its end at once with one final segment.
    upstream.control("POST", QStringLiteral("/__test/realtime/script"),
                     QJsonObject{{QStringLiteral("count"), 2 * rounds + 2},
                                 {QStringLiteral("final_results"),
                                  QJsonArray{QJsonObject{{QStringLiteral("slice_type"), 2},
                                                         {QStringLiteral("index"), 0},
                                                         {QStringLiteral("text"), QStringLiteral("done")}}}}});
    QUrl endpoint = upstream.url(QStringLiteral("/asr/v2"));
    endpoint.setScheme(QStringLiteral("ws"));
    settings.realtimeUrl = endpoint;

    // One warm-up each (connection set-up, first allocations), then alternating rounds.
    direct(settings, QStringLiteral("bench-warm-direct"));
    relayed(settings, QStringLiteral("bench-warm-relay"));
    std::vector<double> directMs, relayMs;
    for (int i = 0; i < rounds; ++i) {
        const double d = direct(settings, QStringLiteral("bench-direct-%1").arg(i));
        const double r = relayed(settings, QStringLiteral("bench-relay-%1").arg(i));
        if (d < 0 || r < 0) {
            std::fprintf(stderr, "round %d failed\n", i);
            return 1;
        }
        directMs.push_back(d);
        relayMs.push_back(r);
    }
    std::printf("end message -> final, %d rounds on loopback (ms)\n", rounds);
    std::printf("  direct : median %.3f  p90 %.3f  max %.3f\n", percentile(directMs, 0.5), percentile(directMs, 0.9),
                percentile(directMs, 1.0));
    std::printf("  relayed: median %.3f  p90 %.3f  max %.3f\n", percentile(relayMs, 0.5), percentile(relayMs, 0.9),
                percentile(relayMs, 1.0));
    std::printf("  added by the relay (median): %.3f\n", percentile(relayMs, 0.5) - percentile(directMs, 0.5));
    return 0;
}
