#include "support/SpeechFixtures.h"

#include "recognition/PocketsphinxRecognizer.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

const QStringList kSentences{QStringLiteral("please open the window"),
                             QStringLiteral("send the report tomorrow morning"),
                             QStringLiteral("the quick brown fox jumps over the lazy dog")};

TEST(PocketsphinxRecognizer, GrammarGivesTheExactSentence)
{
    velnor::test::TempDir dir;
    test::SpeechFixtures speech(dir.path());
    RecognizerModel model = RecognizerModel::debianEnglish();
    model.grammar = speech.grammar(kSentences);
    QString error;
    auto recognizer = PocketsphinxRecognizer::create(model, &error);
    ASSERT_TRUE(recognizer) << error.toStdString();

    for (const QString& sentence : {kSentences[1], kSentences[2]}) {
        const std::vector<std::int16_t> samples = speech.pcm16k(sentence);
        ASSERT_FALSE(samples.empty()) << speech.error().toStdString();
        EXPECT_EQ(recognizer->recognize(samples).toStdString(), sentence.toStdString());
    }
}

// A decoder passed from stream to stream (or file to file) hears the same
// audio as a freshly loaded one does, whatever it heard before.
TEST(PocketsphinxRecognizer, ARecycledDecoderHearsLikeAFreshOne)
{
    velnor::test::TempDir dir;
    test::SpeechFixtures flite(dir.path(), test::SpeechFixtures::Voice::FliteSlt);
    const std::vector<std::int16_t> samples = flite.pcm16k(QStringLiteral("please send the report to the team today"));
    const std::vector<std::int16_t> other = flite.pcm16k(QStringLiteral("the weather is cold and rainy this week"));
    ASSERT_FALSE(samples.empty() || other.empty()) << flite.error().toStdString();
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

TEST(PocketsphinxRecognizer, StreamingReportsSpeechAndPartialResults)
{
    velnor::test::TempDir dir;
    test::SpeechFixtures speech(dir.path());
    RecognizerModel model = RecognizerModel::debianEnglish();
    model.grammar = speech.grammar(kSentences);
    QString error;
    auto recognizer = pocketsphinxRecognizerFactory(model)(&error);
    ASSERT_TRUE(recognizer) << error.toStdString();

    std::vector<std::int16_t> samples(8000, 0);   // half a second of silence first
    const std::vector<std::int16_t> spoken = speech.pcm16k(kSentences[2]);
    ASSERT_FALSE(spoken.empty()) << speech.error().toStdString();
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
    EXPECT_EQ(recognizer->endUtterance().toStdString(), kSentences[2].toStdString());
    EXPECT_TRUE(recognizer->endUtterance().isEmpty()) << "a second end has no utterance";
}

TEST(PocketsphinxRecognizer, DefaultModelHearsRobustWords)
{
    velnor::test::TempDir dir;
    test::SpeechFixtures speech(dir.path());
    QString error;
    auto recognizer = PocketsphinxRecognizer::create(RecognizerModel::debianEnglish(), &error);
    ASSERT_TRUE(recognizer) << error.toStdString();
    const std::vector<std::int16_t> samples = speech.pcm16k(kSentences[1]);
    ASSERT_FALSE(samples.empty()) << speech.error().toStdString();
    const QString text = recognizer->recognize(samples);
    EXPECT_TRUE(text.contains(QStringLiteral("report")) && text.contains(QStringLiteral("tomorrow"))) << text.toStdString();
}

TEST(PocketsphinxRecognizer, MissingModelFilesAreReported)
{
    RecognizerModel model = RecognizerModel::debianEnglish();
    model.grammar = QStringLiteral("/nonexistent/grammar.gram");
    QString error;
    EXPECT_FALSE(PocketsphinxRecognizer::create(model, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent/grammar.gram"))) << error.toStdString();

    model = RecognizerModel::debianEnglish();
    model.acousticModel = QStringLiteral("/nonexistent/hmm");
    error.clear();
    EXPECT_FALSE(pocketsphinxRecognizerFactory(model)(&error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(PocketsphinxRecognizer, BrokenGrammarFailsToLoadInsteadOfCrashing)
{
    velnor::test::TempDir dir;
    RecognizerModel model = RecognizerModel::debianEnglish();
    model.grammar = dir.writeFile(QStringLiteral("bad.gram"), "this is not a grammar");
    QString error;
    EXPECT_FALSE(PocketsphinxRecognizer::create(model, &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace velnor::server
