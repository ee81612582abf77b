#include "recognition/openai/TranscriptionRequest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtEndian>

namespace velnor::server {

namespace {

constexpr int kSampleRate = 16000;
// Whisper-style models read at most 224 prompt tokens; this many characters stay well within.
constexpr qsizetype kMaxPromptLength = 400;
// A server's own error message is shown as it is, but never at length.
constexpr qsizetype kMaxMessageLength = 200;

void appendLe32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendLe16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

QByteArray partHeader(const QByteArray& boundary, const QByteArray& name)
{
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"";
}

void addField(QByteArray& body, const QByteArray& boundary, const QByteArray& name, const QString& value)
{
    body += partHeader(boundary, name) + "\r\n\r\n" + value.toUtf8() + "\r\n";
}

} // namespace

QByteArray wavFile(std::span<const std::int16_t> samples)
{
    const auto dataBytes = quint32(samples.size() * sizeof(std::int16_t));
    QByteArray out;
    out.reserve(44 + qsizetype(dataBytes));
    out += "RIFF";
    appendLe32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    appendLe32(out, 16);             // format chunk size
    appendLe16(out, 1);              // PCM
    appendLe16(out, 1);              // mono
    appendLe32(out, kSampleRate);
    appendLe32(out, kSampleRate * 2); // bytes per second
    appendLe16(out, 2);              // bytes per frame
    appendLe16(out, 16);             // bits per sample
    out += "data";
    appendLe32(out, dataBytes);
    for (const std::int16_t sample : samples)
        appendLe16(out, quint16(sample));
    return out;
}

QString hotWordPrompt(const QStringList& hotWords)
{
    QStringList words;
    QSet<QString> seen;
    qsizetype length = 0;
    for (const QString& hotWord : hotWords) {
        const QString word = hotWord.simplified();
        if (word.isEmpty() || seen.contains(word))
            continue;
        length += word.size() + 2;
        if (length > kMaxPromptLength)
            break;
        seen.insert(word);
        words << word;
    }
    return words.isEmpty() ? QString() : words.join(QStringLiteral(", ")) + QLatin1Char('.');
}

TranscriptionRequest TranscriptionRequest::build(std::span<const std::int16_t> samples, const QString& model,
                                                 const RecognitionContext& context, const QByteArray& boundary)
{
    QByteArray body;
    body += partHeader(boundary, "file") + "; filename=\"audio.wav\"\r\nContent-Type: audio/wav\r\n\r\n";
    body += wavFile(samples) + "\r\n";
    addField(body, boundary, "model", model);
    if (!context.language.isEmpty())
        addField(body, boundary, "language", context.language);
    if (const QString prompt = hotWordPrompt(context.hotWords); !prompt.isEmpty())
        addField(body, boundary, "prompt", prompt);
    addField(body, boundary, "response_format", QStringLiteral("json"));
    body += "--" + boundary + "--\r\n";
    return {"multipart/form-data; boundary=" + boundary, body};
}

FileRecognition parseTranscriptionAnswer(int httpStatus, const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonObject json = document.object();
    if (httpStatus != 200) {
        QString message = json.value(QStringLiteral("error")).toObject().value(QStringLiteral("message")).toString();
        if (message.isEmpty())
            message = json.value(QStringLiteral("error")).toString();
        message = message.simplified().left(kMaxMessageLength);
        return FileRecognition::failed(message.isEmpty() ? QStringLiteral("HTTP %1").arg(httpStatus)
                                                         : QStringLiteral("HTTP %1: %2").arg(httpStatus).arg(message));
    }
    const QJsonValue text = json.value(QStringLiteral("text"));
    if (!document.isObject() || !text.isString())
        return FileRecognition::failed(QStringLiteral("the answer is not a transcription (%1 bytes without a \"text\")")
                                           .arg(body.size()));
    return FileRecognition::heard(text.toString().trimmed());
}

} // namespace velnor::server
