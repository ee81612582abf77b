// Real-time streaming figures on loopback against velnor-server:
//  1. packet pacing jitter: |gap between consecutive packet arrivals - 40 ms|
//     at the server, while the service drains a 10 s burst of audio;
//  2. the time from handing the end marker to the socket to the client's
//     completion report (the server decodes the stream with pocketsphinx).
// Usage: realtime_bench [rounds [--scripted]]   (VELNOR_SERVER_BIN overrides the server path)
#include "AsrTestSupport.h"

#include "asr/MainQueue.h"
#include "asr/Pacer.h"
#include "asr/QtWebSocketTransport.h"
#include "asr/TencentASRService.h"
#include "asr/TencentASRSignature.h"
#include "core/Clock.h"
#include "core/QtScheduler.h"
#include "log/ConsoleSink.h"
#include "log/SecretRedactor.h"
#include "log/TencentASRLogger.h"
#include "platform/fake/FakeSystemLog.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <atomic>
#include <thread>
#include <vector>

using namespace velnor;

namespace {

struct Completion final : TencentASRServiceDelegate {
    void tencentASRServiceDidChangeConnectionState(TencentASRService&, const TencentASRConnectionState&) override {}
    void tencentASRServiceDidReceiveResult(TencentASRService&, const TencentASRResult&) override {}
    void tencentASRServiceDidReceivePartialResult(TencentASRService&, const QString&) override {}
    void tencentASRServiceDidReceiveFinalResult(TencentASRService&, const QString&) override {}
    void tencentASRServiceDidEncounterError(TencentASRService&, const TencentASRError& error) override
    {
        std::fprintf(stderr, "error: %s\n", qPrintable(error.description()));
    }
    void tencentASRServiceDidComplete(TencentASRService&) override { completed = true; }
    bool completed = false;
};

QByteArray tone(int ms)
{
    QByteArray bytes(ms * 16 * 2, Qt::Uninitialized);
    for (int i = 0; i < ms * 16; ++i)
        qToLittleEndian(qint16(3000 * std::sin(i * 0.07) * (((i / 4000) % 2) ? 1 : 0.1)), bytes.data() + 2 * i);
    return bytes;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = std::size_t(std::lround(p * double(values.size() - 1)));
    return values[index];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    // --scripted: the server answers from a script instead of decoding (transport only).
    const bool scripted = argc > 2 && QByteArray(argv[2]) == "--scripted";

    QTemporaryDir dir;
    test::ServerProcess server;
    if (!server.start(dir.path(), test::realtimeServerArgs(dir.path()))) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }

    if (scripted)
        server.control("POST", QStringLiteral("/__test/realtime/script"),
                    QJsonObject{{QStringLiteral("final_results"), QJsonArray()}, {QStringLiteral("count"), rounds}});

    QtScheduler scheduler;
    QtMainQueue mainQueue;
    SteadyPacer pacer;
    SystemClock clock;
    FakeSystemLog systemLog;
    SecretRedactor redactor;
    TencentASRLogger log(QString(), clock, silentSink(), systemLog, redactor);
    log.setLogLevel(TencentASRLogLevel::Error);
    TencentASRSignature signature(server.url().authority(), clock, nullptr, log);
    TencentASREnvironment environment{scheduler, mainQueue, pacer, log, signature, QtWebSocketTransport::factory({})};
    TencentASRConfig config;
    config.appId = QLatin1String(test::RealtimeCredentials::appId);
    config.secretId = QLatin1String(test::RealtimeCredentials::secretId);
    config.secretKey = QLatin1String(test::RealtimeCredentials::secretKey);
    config.baseURL = QStringLiteral("ws://") + server.url().authority() + QStringLiteral("/asr/v2");

    std::vector<double> jitter;
    std::vector<double> endToFinal;
    for (int round = 0; round < rounds; ++round) {
        Completion delegate;
        TencentASRService service(config, environment);
        service.setDelegate(&delegate);
        service.connect();
        if (!test::waitUntil([&] { return service.connectionState().is(TencentASRConnectionState::Kind::Ready); }, 20000)) {
            std::fprintf(stderr, "round %d: connection not ready\n", round);
            return 1;
        }
        service.startRecognition();
        const int seconds = round == 0 ? 10 : 3;
        service.sendAudioData(tone(seconds * 1000));
        // Wait until the processing queue has handed on every packet.
        std::atomic<bool> drained{false};
        std::thread waiter([&] {
            service.waitForProcessing();
            drained = true;
        });
        test::waitUntil([&] { return drained.load(); }, 60000);
        waiter.join();
        test::runEventLoopFor(100); // let the last packets leave

        QElapsedTimer timer;
        timer.start();
        service.stopRecognition();
        if (!test::waitUntil([&] { return delegate.completed; }, 20000)) {
            std::fprintf(stderr, "round %d: no final message\n", round);
            return 1;
        }
        endToFinal.push_back(double(timer.nsecsElapsed()) / 1e6);
        service.disconnect();
    }

    const QJsonArray connections = server.realtimeConnections();
    for (const QJsonValue& connection : connections) {
        const QJsonArray packets = connection.toObject().value(QStringLiteral("packets")).toArray();
        for (qsizetype i = 1; i < packets.size(); ++i) {
            const double gap = packets[i].toObject().value(QStringLiteral("t_ms")).toDouble()
                - packets[i - 1].toObject().value(QStringLiteral("t_ms")).toDouble();
            jitter.push_back(std::abs(gap - 40.0));
        }
    }
    std::printf("realtime_bench: %d rounds, %zu packet gaps measured at velnor-server (loopback, ws, %s)\n", rounds,
                jitter.size(), scripted ? "scripted answers" : "pocketsphinx decoding");
    std::printf("packet pacing jitter |gap - 40 ms|: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n", percentile(jitter, 0.5),
                percentile(jitter, 0.99), percentile(jitter, 1.0));
    std::printf("end marker -> final message (measured at the client): p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                percentile(endToFinal, 0.5), percentile(endToFinal, 0.99), percentile(endToFinal, 1.0));
    return 0;
}
