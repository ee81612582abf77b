#pragma once

#include "recognition/SpeechRecognizer.h"

#include <QString>

#include <memory>
#include <random>
#include <vector>

struct ps_decoder_s;

namespace velnor::server {

// Which models the decoder loads. A JSGF grammar, when set, replaces the
// statistical language model (the dictionary is still needed for it).
struct RecognizerModel {
    QString acousticModel;   // directory (-hmm)
    QString languageModel;   // -lm
    QString dictionary;      // -dict
    QString grammar;         // -jsgf

    // The US English model shipped by Debian's pocketsphinx-en-us.
    static RecognizerModel debianEnglish();
};

class PocketsphinxRecognizer final : public SpeechRecognizer {
public:
    // None (with *error) when a model file is missing or will not load.
    static std::unique_ptr<PocketsphinxRecognizer> create(const RecognizerModel& model, QString* error);
    ~PocketsphinxRecognizer() override;

    void startStream() override;
    void startUtterance() override;
    void process(std::span<const std::int16_t> samples) override;
    bool inSpeech() const override;
    QString partialHypothesis() const override;
    QString endUtterance() override;

private:
    explicit PocketsphinxRecognizer(ps_decoder_s* decoder);

    ps_decoder_s* m_decoder;
    bool m_inUtterance = false;
    // The cepstral mean the model started with; each stream starts from it again.
    std::vector<float> m_initialMean;
    // Dither of our own, restarted with each stream: the library's shares one
    // generator among all decoders, so the same audio was heard differently.
    std::minstd_rand m_dither;
    std::vector<std::int16_t> m_dithered;
};

SpeechRecognizerFactory pocketsphinxRecognizerFactory(const RecognizerModel& model);

} // namespace velnor::server
