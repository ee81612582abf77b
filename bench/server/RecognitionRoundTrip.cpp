// Measures, on loopback, the round trip of a ~5 s .m4a upload to
// /qasr/recognize (default English language model) and how much of it the
// server spends decoding the audio and recognising the speech.
// Usage: velnor_server_roundtrip_bench [runs]   (default 5)
#include "audio/AudioDecoder.h"
#include "support/ServerProcess.h"
#include "support/SpeechFixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velnor::server;

namespace {

const char* const kSentence =
    "please send the quarterly report to the whole team before the meeting starts tomorrow morning at nine";

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 5;
    QTemporaryDir work;
    velnor::test::SpeechFixtures speech(work.path());
    const QByteArray audio = speech.m4a(QString::fromLatin1(kSentence));
    if (audio.isEmpty()) {
        std::fprintf(stderr, "cannot make the recording: %s\n", qPrintable(speech.error()));
        return 1;
    }

    // In process: decoding and resampling alone.
    QString error;
    std::vector<double> decodeMs, serverMs, roundTripMs;
    double audioSeconds = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto samples = AudioDecoder::decode(audio, {300}, &error);
        decodeMs.push_back(timer.nsecsElapsed() / 1e6);
        if (!samples) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        audioSeconds = static_cast<double>(samples->size()) / AudioDecoder::kSampleRate;
    }

    // Over HTTP, against the real server (the first upload loads the model and is not counted).
    velnor::test::ServerProcess server;
    if (!server.start(work.filePath(QStringLiteral("data")), {}, false)) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    velnor::test::RawHttp http;
    velnor::test::MultipartBody body("Boundary-5C1F3B9E-0D2A-4E7B-8F66-1A2B3C4D5E6F");
    body.field("file_type", "m4a").field("version", "v2").field("over_over", "false").file("file", "audio.m4a", "audio/m4a", audio);
    const QByteArray payload = body.finish();
    QString served;
    for (int i = 0; i <= runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const velnor::test::HttpResult result =
            http.send("POST", server.url(QStringLiteral("/qasr/recognize")), payload, {{"Content-Type", body.contentType()}});
        if (result.code() != 0) {
            std::fprintf(stderr, "upload failed: %s\n", result.body.constData());
            return 1;
        }
        served = result.data().toObject().value(QStringLiteral("text")).toString();
        if (i > 0)
            roundTripMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    // The server logs the time of decoding plus recognition of each upload.
    server.stop();
    static const QRegularExpression logged(QStringLiteral("recognised \\d+ ms of audio in (\\d+) ms"));
    QRegularExpressionMatchIterator lines = logged.globalMatch(QString::fromUtf8(server.standardError()));
    for (bool first = true; lines.hasNext(); first = false) {
        const double ms = lines.next().captured(1).toDouble();
        if (!first)
            serverMs.push_back(ms);
    }
    if (serverMs.empty()) {
        std::fprintf(stderr, "no recognition times in the server log\n");
        return 1;
    }

    const double trip = median(roundTripMs);
    const double decode = median(decodeMs);
    const double recognise = median(serverMs) - decode;
    std::printf("recording: %.2f s of speech, %lld bytes of m4a\n", audioSeconds, static_cast<long long>(audio.size()));
    std::printf("heard: %s\n", qPrintable(served));
    std::printf("round trip (median of %d): %.0f ms\n", runs, trip);
    std::printf("  speech recognition: %.0f ms (%.0f%% of the round trip, %.1fx faster than real time)\n", recognise,
                100.0 * recognise / trip, audioSeconds * 1000.0 / recognise);
    std::printf("  audio decoding and resampling: %.1f ms\n", decode);
    std::printf("  the rest (HTTP, parsing, storage): %.0f ms\n", trip - recognise - decode);
    return 0;
}
