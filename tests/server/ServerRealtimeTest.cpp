// The real-time endpoint of a real velnor-server on 127.0.0.1, decoding
// flite's speech with the general English language model: the same audio
// gives the same text on every stream, whichever decoder serves it.
#include "ApiFixture.h"
#include "RealtimeDictation.h"
#include "support/SpeechFixtures.h"

namespace velnor::server {
namespace {

using test::Dictation;

const QString kAppId = QStringLiteral("1300000077");
const QString kSecretId = QStringLiteral("AKIDrealtimestability000000000000000");
const QByteArray kSecretKey = "realtimestabilitykey000000000000";
// A sentence whose decoding used to change from stream to stream with the
// decoder's shared dither and drifting cepstral mean ("team" or "game").
const QString kSentence = QStringLiteral("please send the report to the team today");

// The first stream after start, served by the decoder loaded in the
// background, and the later ones, served by a decoder already used, agree.
TEST(ServerRealtime, FirstStreamOnThePreloadedDecoderMatchesTheTenth)
{
    velnor::test::TempDir dir;
    velnor::test::SpeechFixtures fixtures(dir.path(), velnor::test::SpeechFixtures::Voice::FliteSlt);
    const std::vector<std::int16_t> samples = fixtures.pcm16k(kSentence);
    ASSERT_FALSE(samples.empty()) << fixtures.error().toStdString();
    const QByteArray pcm(reinterpret_cast<const char*>(samples.data()), qsizetype(samples.size() * 2));
    velnor::test::ServerProcess server;
    ASSERT_TRUE(server.start(dir.path(), test::realtimeCredentials(dir, kAppId, kSecretId, kSecretKey)))
        << server.error().toStdString();
    // Long enough for the background load to finish: the first stream then takes that decoder.
    velnor::test::runEventLoopFor(4000);

    test::RealtimeDictationClient client{kAppId, kSecretId, kSecretKey};
    QStringList texts;
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        const Dictation dictation = client.dictate(server.url(), pcm);
        ASSERT_TRUE(dictation.failure.isEmpty()) << dictation.failure.toStdString();
        texts << dictation.text;
    }
    EXPECT_EQ(texts.first().toStdString(), texts.last().toStdString()) << texts.join(u" | ").toStdString();
    EXPECT_EQ(texts.count(texts.last()), texts.size()) << texts.join(u" | ").toStdString();
    EXPECT_TRUE(texts.last().contains(QStringLiteral("send a report"))) << texts.last().toStdString();
}

} // namespace
} // namespace velnor::server
