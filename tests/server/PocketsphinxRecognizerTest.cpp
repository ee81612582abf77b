// The decoder on its own: what the server's file and stream tests cannot see
// (partial results, a recycled decoder). Exact sentences through
// a grammar and the general model's words are checked through the server.
#include "support/SpeechFixtures.h"

#include "recognition/PocketsphinxRecognizer.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

class PocketsphinxRecognizerTest : public ::testing::Test {
protected:
    std::vector<std::int16_t> pcm(const QString& sentence, test::SpeechFixtures::Voice voice = test::SpeechFixtures::Voice::FliteSlt)
    {
        test::SpeechFixtures speech(dir.path(), voice);
        const std::vector<std::int16_t> samples = speech.pcm16k(sentence);
        EXPECT_FALSE(samples.empty()) << speech.error().toStdString();
        return samples;
    }

    velnor::test::TempDir dir;
};

// A decoder passed from stream to stream (or file to file) hears the same
// audio as a freshly loaded one does, whatever it heard before.
TEST_F(PocketsphinxRecognizerTest, ARecycledDecoderHearsLikeAFreshOne)
{
    const std::vector<std::int16_t> samples = pcm(QStringLiteral("please send the report to the team today"));
    const std::vector<std::int16_t> other = pcm(QStringLiteral("the weather is cold and rainy this week"));
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
}

TEST_F(PocketsphinxRecognizerTest, StreamingReportsSpeechAndPartialResults)
{
    const QString sentence = QStringLiteral("the quick brown fox jumps over the lazy dog");
    RecognizerModel model = RecognizerModel::debianEnglish();
    model.grammar = test::SpeechFixtures(dir.path()).grammar({sentence});
    QString error;
    auto recognizer = pocketsphinxRecognizerFactory(model)(&error);
    ASSERT_TRUE(recognizer) << error.toStdString();

    std::vector<std::int16_t> samples(8000, 0);   // half a second of silence first
    const std::vector<std::int16_t> spoken = pcm(sentence, test::SpeechFixtures::Voice::EspeakNg);
    samples.insert(samples.end(), spoken.begin(), spoken.end());

    recognizer->startUtterance();
    bool heardSpeech = false;
    QString partial;
    const std::span<const std::int16_t> all(samples);
    for (std::size_t offset = 0; offset < all.size(); offset += 640) {
        recognizer->process(all.subspan(offset, std::min<std::size_t>(640, all.size() - offset)));
        heardSpeech = heardSpeech || recognizer->inSpeech();
        if (partial.isEmpty())
            partial = recognizer->partialHypothesis();
    }
    EXPECT_TRUE(heardSpeech);
    EXPECT_FALSE(partial.isEmpty());
    EXPECT_EQ(recognizer->endUtterance().toStdString(), sentence.toStdString());
    EXPECT_TRUE(recognizer->endUtterance().isEmpty()) << "a second end has no utterance";
}

} // namespace
} // namespace velnor::server
