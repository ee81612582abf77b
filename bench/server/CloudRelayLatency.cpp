// The cloud relay's added latency on loopback: the time from the end message
// to the final result, straight to a real-time endpoint and through a
// velnor-server --recognizer cloud relaying to the same endpoint, in the same
// run. The endpoint is a velnor-server with scripted results, so its own
// decoding does not blur the figure.
// Usage: velnor_cloud_relay_bench [rounds]   (default 50; each round one direct and one relayed stream)
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

// A client of the endpoint `settings` names: end message → final message, in ms; -1 on failure.
double dictate(const CloudSettings& settings, const QString& voiceId)
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

bool writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

QUrl realtimeUrlOf(const velnor::test::ServerProcess& server)
{
    QUrl url = server.url(QStringLiteral("/asr/v2"));
    url.setScheme(QStringLiteral("ws"));
    return url;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 50;
    QTemporaryDir upstreamDir, relayDir;
    // The vendor's account (upstream) and the app's account on the relay.
    CloudSettings cloud, local;
    cloud.appId = QStringLiteral("1300000123");
    cloud.secretId = QStringLiteral("AKIDrelaybench00000000000000000000000");
    cloud.secretKey = QStringLiteral("relay-bench-key-000000000000000");
    local.appId = QStringLiteral("1300000124");
    local.secretId = QStringLiteral("AKIDrelaybenchlocal000000000000000000");
    local.secretKey = QStringLiteral("relay-bench-local-key-000000000");
    const QString cloudKey = upstreamDir.filePath(QStringLiteral("cloud.key"));
    const QString localKey = relayDir.filePath(QStringLiteral("local.key"));
    if (!writeFile(cloudKey, cloud.secretKey) || !writeFile(localKey, local.secretKey))
        return 1;

    velnor::test::ServerProcess upstream, relay;
    if (!upstream.start(upstreamDir.path(), {QStringLiteral("--asr-app-id"), cloud.appId, QStringLiteral("--asr-secret-id"),
                                             cloud.secretId, QStringLiteral("--asr-secret-key-file"), cloudKey})) {
        std::fprintf(stderr, "cannot start the upstream velnor-server: %s\n", qPrintable(upstream.error()));
        return 1;
    }
    cloud.realtimeUrl = realtimeUrlOf(upstream);
    if (!relay.start(relayDir.path(),
                     {QStringLiteral("--recognizer"), QStringLiteral("cloud"), QStringLiteral("--cloud-secret-id"),
                      cloud.secretId, QStringLiteral("--cloud-secret-key-file"), cloudKey, QStringLiteral("--cloud-app-id"),
                      cloud.appId, QStringLiteral("--cloud-realtime-url"), cloud.realtimeUrl.toString(),
                      QStringLiteral("--asr-app-id"), local.appId, QStringLiteral("--asr-secret-id"), local.secretId,
                      QStringLiteral("--asr-secret-key-file"), localKey},
                     false)) {
        std::fprintf(stderr, "cannot start the relaying velnor-server: %s\n", qPrintable(relay.error()));
        return 1;
    }
    local.realtimeUrl = realtimeUrlOf(relay);
    // Every stream of the run answers its end at once with one final segment.
    upstream.control("POST", QStringLiteral("/__test/realtime/script"),
                     QJsonObject{{QStringLiteral("count"), 2 * rounds + 2},
                                 {QStringLiteral("final_results"),
                                  QJsonArray{QJsonObject{{QStringLiteral("slice_type"), 2},
                                                         {QStringLiteral("index"), 0},
                                                         {QStringLiteral("text"), QStringLiteral("done")}}}}});

    // One warm-up each (connection set-up, first allocations), then alternating rounds.
    dictate(cloud, QStringLiteral("bench-warm-direct"));
    dictate(local, QStringLiteral("bench-warm-relay"));
    std::vector<double> directMs, relayMs;
    for (int i = 0; i < rounds; ++i) {
        const double d = dictate(cloud, QStringLiteral("bench-direct-%1").arg(i));
        const double r = dictate(local, QStringLiteral("bench-relay-%1").arg(i));
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
