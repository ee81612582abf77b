// The decoder on its own: what the server's file and stream tests cannot see
// (partial results, a recycled decoder). Exact sentences through
// a grammar and the general model's words are checked through the server.
#include "support/SpeechFixtures.h"

#include "recognition/PocketsphinxRecognizer.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

// A decoder passed from stream to stream (or file to file) hears the same
// audio as a freshly loaded one does, whatever it heard before; then a grammar
// decoder fed in 40 ms packets reports speech and a partial result on the way.
TEST(PocketsphinxRecognizerTest, ARecycledDecoderHearsLikeAFreshOneAndStreamingReportsSpeechAndPartialResults)
{
    velnor::test::TempDir dir;
    const auto pcm = [&](const QString& sentence, auto voice) {
        test::SpeechFixtures speech(dir.path(), voice);
        const std::vector<std::int16_t> samples = speech.pcm16k(sentence);
        EXPECT_FALSE(samples.empty()) << speech.error().toStdString();
        return samples;
    };
    using Voice = test::SpeechFixtures::Voice;
    const std::vector<std::int16_t> samples = pcm(QStringLiteral("please send the report to the team today"), Voice::FliteSlt);
    const std::vector<std::int16_t> other = pcm(QStringLiteral("the weather is cold and rainy this week"), Voice::FliteSlt);
    QString error;
    auto recognizer = PocketsphinxRecognizer::create(RecognizerModel::debianEnglish(), &error);
    ASSERT_TRUE(recognizer) << error.toStdString();

    recognizer->startStream();
    const QString fresh = recognizer->recognize(samples);
    QStringList later;
    for (int i = 0; i < 2; ++i) {
        recognizer->startStream();
        recognizer->recognize(other);
        recognizer->startStream();
        later << recognizer->recognize(samples);
    }
    EXPECT_EQ(later, QStringList(2, fresh));

    const QString sentence = QStringLiteral("the quick brown fox jumps over the lazy dog");
    RecognizerModel model = RecognizerModel::debianEnglish();
    model.grammar = test::SpeechFixtures(dir.path()).grammar({sentence});
    auto streaming = pocketsphinxRecognizerFactory(model)(&error);
    ASSERT_TRUE(streaming) << error.toStdString();

    std::vector<std::int16_t> silenceThenSpeech(8000, 0);   // half a second of silence first
    const std::vector<std::int16_t> spoken = pcm(sentence, Voice::EspeakNg);
    silenceThenSpeech.insert(silenceThenSpeech.end(), spoken.begin(), spoken.end());

    streaming->startUtterance();
    bool heardSpeech = false;
    QString partial;
    const std::span<const std::int16_t> all(silenceThenSpeech);
    for (std::size_t offset = 0; offset < all.size(); offset += 640) {
        streaming->process(all.subspan(offset, std::min<std::size_t>(640, all.size() - offset)));
        heardSpeech = heardSpeech || streaming->inSpeech();
        if (partial.isEmpty())
            partial = streaming->partialHypothesis();
    }
    EXPECT_TRUE(heardSpeech);
    EXPECT_FALSE(partial.isEmpty());
    EXPECT_EQ(streaming->endUtterance().toStdString(), sentence.toStdString());
    EXPECT_TRUE(streaming->endUtterance().isEmpty()) << "a second end has no utterance";
}

} // namespace
} // namespace velnor::server
