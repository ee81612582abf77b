// Word error rate of the configured recogniser on 20 fixed sentences (flite's
// voice, one espeak-ng case), through the real upload path (/qasr/recognize,
// .m4a) and the real real-time endpoint of a velnor-server it starts; then the
// spread of the real-time text over 10 runs of the same audio.
// Usage: velnor_server_wer_bench [velnor-server flags...]
//   e.g. velnor_server_wer_bench --recognizer openai --openai-url http://127.0.0.1:8080/v1
#include "server/RealtimeDictation.h"
#include "support/ServerProcess.h"
#include "support/SpeechFixtures.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using velnor::test::SpeechFixtures;

namespace {

const char* const kAppId = "1300000099";
const char* const kSecretId = "AKIDwordErrorRateBench00000000000000";
const char* const kSecretKey = "worderrorratebenchkey00000000000";
constexpr int kSpreadRuns = 10;

struct Sentence {
    const char* text;
    SpeechFixtures::Voice voice;
};

const Sentence kSentences[] = {
    {"please send the report to the team today", SpeechFixtures::Voice::FliteSlt},
    {"the meeting starts at nine tomorrow morning", SpeechFixtures::Voice::FliteSlt},
    {"open the window in the kitchen", SpeechFixtures::Voice::FliteSlt},
    {"we need more coffee for the office", SpeechFixtures::Voice::FliteSlt},
    {"call me back when you are free", SpeechFixtures::Voice::FliteSlt},
    {"the train leaves at half past seven", SpeechFixtures::Voice::FliteSlt},
    {"thank you for your help yesterday", SpeechFixtures::Voice::FliteSlt},
    {"the weather is cold and rainy this week", SpeechFixtures::Voice::FliteSlt},
    {"please check the numbers before friday", SpeechFixtures::Voice::FliteSlt},
    {"my phone battery is almost empty", SpeechFixtures::Voice::FliteSlt},
    {"the children are playing in the garden", SpeechFixtures::Voice::FliteSlt},
    {"let us have lunch together next monday", SpeechFixtures::Voice::FliteSlt},
    {"the price of the ticket went up again", SpeechFixtures::Voice::FliteSlt},
    {"turn left at the second traffic light", SpeechFixtures::Voice::FliteSlt},
    {"i will finish the draft by the end of the day", SpeechFixtures::Voice::FliteSlt},
    {"the doctor said i should rest for a week", SpeechFixtures::Voice::FliteSlt},
    {"can you book a table for four people", SpeechFixtures::Voice::FliteSlt},
    {"the new version fixes several problems", SpeechFixtures::Voice::FliteSlt},
    {"water the plants while i am away", SpeechFixtures::Voice::FliteSlt},
    {"please send the report to the team today", SpeechFixtures::Voice::EspeakNg},
};

QStringList wordsOf(const QString& text)
{
    static const QRegularExpression notWord(QStringLiteral("[^a-z0-9' ]"));
    return text.toLower().replace(notWord, QStringLiteral(" ")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Word-level edit distance between what was said and what was heard.
int wordErrors(const QStringList& said, const QStringList& heard)
{
    std::vector<int> previous(std::size_t(heard.size() + 1)), current(previous.size());
    for (std::size_t j = 0; j < previous.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= said.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= heard.size(); ++j) {
            const int substitution = previous[std::size_t(j - 1)] + (said[i - 1] == heard[j - 1] ? 0 : 1);
            current[std::size_t(j)] =
                std::min({previous[std::size_t(j)] + 1, current[std::size_t(j - 1)] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return previous.back();
}

// Errors and words over a set of sentences.
struct Tally {
    int errors = 0;
    int words = 0;
    void add(const QString& said, const QString& heard, const char* voice)
    {
        const QStringList reference = wordsOf(said);
        const int e = wordErrors(reference, wordsOf(heard));
        errors += e;
        words += int(reference.size());
        std::printf("  %5.1f%%  %-8s \"%s\" -> \"%s\"\n", 100.0 * e / double(reference.size()), voice, qPrintable(said),
                    qPrintable(heard));
    }
    double rate() const { return words ? 100.0 * errors / words : 0.0; }
};

QByteArray pcmBytes(const std::vector<std::int16_t>& samples)
{
    return QByteArray(reinterpret_cast<const char*>(samples.data()), qsizetype(samples.size() * 2));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList serverFlags = app.arguments().mid(1);
    QTemporaryDir work;
    const QString keyPath = work.filePath(QStringLiteral("asr.key"));
    QFile key(keyPath);
    if (!key.open(QIODevice::WriteOnly) || key.write(kSecretKey) < 0)
        return 1;
    key.close();
    serverFlags << QStringLiteral("--asr-app-id") << QLatin1String(kAppId) << QStringLiteral("--asr-secret-id")
                << QLatin1String(kSecretId) << QStringLiteral("--asr-secret-key-file") << keyPath;
    velnor::test::ServerProcess server;
    if (!server.start(work.filePath(QStringLiteral("data")), serverFlags, false)) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    std::printf("velnor-server %s\n", qPrintable(serverFlags.join(QLatin1Char(' '))));
    velnor::server::test::RealtimeDictationClient client(QLatin1String(kAppId), QLatin1String(kSecretId), kSecretKey);
    velnor::test::RawHttp http;
    SpeechFixtures flite(work.path(), SpeechFixtures::Voice::FliteSlt);
    SpeechFixtures espeak(work.path(), SpeechFixtures::Voice::EspeakNg);

    Tally upload, realtime;
    QByteArray firstPcm;
    for (const Sentence& sentence : kSentences) {
        SpeechFixtures& speech = sentence.voice == SpeechFixtures::Voice::FliteSlt ? flite : espeak;
        const char* voice = sentence.voice == SpeechFixtures::Voice::FliteSlt ? "flite" : "espeak";
        const QString said = QString::fromLatin1(sentence.text);
        const QByteArray m4a = speech.m4a(said, 0.3);
        const QByteArray pcm = pcmBytes(speech.pcm16k(said));
        if (m4a.isEmpty() || pcm.isEmpty()) {
            std::fprintf(stderr, "cannot make the recording: %s\n", qPrintable(speech.error()));
            return 1;
        }
        if (firstPcm.isEmpty())
            firstPcm = pcm;

        velnor::test::MultipartBody body("Boundary-wer-bench");
        body.field("file_type", "m4a").field("out_language", "en").file("file", "audio.m4a", "audio/m4a", m4a);
        const velnor::test::HttpResult result = http.send("POST", server.url(QStringLiteral("/qasr/recognize")),
                                                          body.finish(), {{"Content-Type", body.contentType()}});
        if (result.code() != 0)
            std::fprintf(stderr, "upload failed: %s\n", result.body.constData());
        std::printf("upload:\n");
        upload.add(said, result.data().toObject().value(QStringLiteral("text")).toString(), voice);

        const velnor::server::test::Dictation dictation = client.dictate(server.url(), pcm);
        if (!dictation.failure.isEmpty())
            std::fprintf(stderr, "real-time failed: %s\n", qPrintable(dictation.failure));
        std::printf("real time:\n");
        realtime.add(said, dictation.text, voice);
    }

    std::printf("\nreal time, the same audio %d times (\"%s\"):\n", kSpreadRuns, kSentences[0].text);
    Tally spread;
    std::vector<double> rates;
    QSet<QString> texts;
    for (int run = 0; run < kSpreadRuns; ++run) {
        const velnor::server::test::Dictation dictation = client.dictate(server.url(), firstPcm);
        const int before = spread.errors;
        spread.add(QString::fromLatin1(kSentences[0].text), dictation.text, "flite");
        rates.push_back(100.0 * (spread.errors - before) / double(wordsOf(QString::fromLatin1(kSentences[0].text)).size()));
        texts.insert(dictation.text);
    }
    const auto [lowest, highest] = std::minmax_element(rates.begin(), rates.end());

    std::printf("\nWER upload: %.1f%% (%d errors / %d words)\n", upload.rate(), upload.errors, upload.words);
    std::printf("WER real time: %.1f%% (%d errors / %d words)\n", realtime.rate(), realtime.errors, realtime.words);
    std::printf("real-time spread over %d runs: WER %.1f%% to %.1f%% (mean %.1f%%), %lld distinct texts\n", kSpreadRuns,
                *lowest, *highest, spread.rate(), static_cast<long long>(texts.size()));
    server.stop();
    return 0;
}
