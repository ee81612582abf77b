#pragma once

#include "recognition/Recognizer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>

namespace velnor::server {

// The form of one "POST …/audio/transcriptions" request, the shape every
// OpenAI-compatible transcription server takes.
struct TranscriptionRequest {
    QByteArray contentType; // multipart/form-data with its boundary
    QByteArray body;

    // The audio as a 16 kHz mono WAV "file", the model, the language when
    // known, a prompt of the hot words when there are any, and a JSON answer.
    static TranscriptionRequest build(std::span<const std::int16_t> samples, const QString& model,
                                      const RecognitionContext& context, const QByteArray& boundary);
};

// A RIFF/WAVE file of 16 kHz mono signed 16-bit PCM.
QByteArray wavFile(std::span<const std::int16_t> samples);

// The hot words as a prompt: a transcription model continues the style and
// spelling of its prompt, so naming the words makes it favour them. Each word
// once, in order, within a length such servers accept.
QString hotWordPrompt(const QStringList& hotWords);

// The text of a transcription answer, or why there is none (an HTTP error, the
// server's own error message, or something that is not a transcription).
FileRecognition parseTranscriptionAnswer(int httpStatus, const QByteArray& body);

} // namespace velnor::server
