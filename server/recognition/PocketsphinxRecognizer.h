#pragma once

#include "recognition/SpeechRecognizer.h"

#include <QString>

#include <memory>

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

    void startUtterance() override;
    void process(std::span<const std::int16_t> samples) override;
    bool inSpeech() const override;
    QString partialHypothesis() const override;
    QString endUtterance() override;

private:
    explicit PocketsphinxRecognizer(ps_decoder_s* decoder);

    ps_decoder_s* m_decoder;
    bool m_inUtterance = false;
};

SpeechRecognizerFactory pocketsphinxRecognizerFactory(const RecognizerModel& model);

} // namespace velnor::server
