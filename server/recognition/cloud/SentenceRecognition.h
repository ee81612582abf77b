#pragma once

#include "recognition/Recognizer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>

namespace velnor::server::cloud {

// The vendor's one-sentence recognition call: its JSON request over 16 kHz
// mono 16-bit PCM, and the reading of its answer envelope.
class SentenceRecognition final {
public:
    static constexpr const char* kService = "asr";
    static constexpr const char* kAction = "SentenceRecognition";
    static constexpr const char* kVersion = "2019-06-14";
    static constexpr std::size_t kMaxSamples = 60 * 16000; // the API takes at most a minute
    static constexpr int kMaxHotWords = 128;
    static constexpr int kMaxHotWordLength = 30;
    static constexpr int kHotWordWeight = 10;

    // "16k_" + the request's language ("zh" when none, or when it is not a plain language tag).
    static QString engineModel(const QString& language);
    // "word|10,word|10": the first 128 words, each cut to 30 characters; words
    // the list syntax cannot carry ("|", ",") are left out.
    static QString hotWordList(const QStringList& hotWords);
    static QByteArray requestBody(std::span<const std::int16_t> samples, const RecognitionContext& context);
    // The text, or a failure naming the cloud recogniser and why (the
    // vendor's error code and message, the HTTP status, or "unreadable").
    static FileRecognition readAnswer(int httpStatus, const QByteArray& body);
};

} // namespace velnor::server::cloud
