#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace velnor::server {

// One offline speech decoder over 16 kHz mono signed 16-bit PCM. Not
// thread-safe: each connection or request uses its own instance.
class SpeechRecognizer {
public:
    SpeechRecognizer() = default;
    virtual ~SpeechRecognizer() = default;
    SpeechRecognizer(const SpeechRecognizer&) = delete;
    SpeechRecognizer& operator=(const SpeechRecognizer&) = delete;

    // A new stream or file begins: what the decoder adapted to in earlier
    // audio (level, noise) is forgotten, so the same audio is always heard alike.
    virtual void startStream() {}
    virtual void startUtterance() = 0;
    virtual void process(std::span<const std::int16_t> samples) = 0;
    // Whether the decoder currently hears speech (end of speech = end of an utterance).
    virtual bool inSpeech() const = 0;
    // The best hypothesis so far of the running utterance (may flicker).
    virtual QString partialHypothesis() const = 0;
    // Ends the utterance and returns its final hypothesis.
    virtual QString endUtterance() = 0;

    // Whole-buffer convenience: start, process, end.
    QString recognize(std::span<const std::int16_t> samples)
    {
        startUtterance();
        process(samples);
        return endUtterance();
    }
};

// Makes a decoder; none (with *error set) when the model cannot be loaded.
using SpeechRecognizerFactory = std::function<std::unique_ptr<SpeechRecognizer>(QString* error)>;

} // namespace velnor::server
