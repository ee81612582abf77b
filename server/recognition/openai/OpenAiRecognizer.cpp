#include "recognition/RecognizerChoice.h"

#include "app/ServerOptions.h"
#include "recognition/RetranscribingStream.h"
#include "recognition/openai/OpenAiTranscriber.h"

#include <QCommandLineParser>
#include <QFile>

namespace velnor::server {

namespace {

const QString kUrl = QStringLiteral("openai-url");
const QString kModel = QStringLiteral("openai-model");
const QString kKeyFile = QStringLiteral("openai-key-file");
const char* const kKeyVariable = "VELNOR_OPENAI_API_KEY";
const QString kDefaultModel = QStringLiteral("whisper-1");
// Real-time streams transcribing at once; more wait their turn.
constexpr int kMaxConcurrentStreamTranscriptions = 4;

void addOptions(QCommandLineParser& parser)
{
    parser.addOption({kUrl,
                      QStringLiteral("openai recogniser: base URL of an OpenAI-compatible transcription server "
                                     "(e.g. http://127.0.0.1:8080/v1 for a local whisper server); velnor-server posts "
                                     "the speech as 16 kHz mono WAV to <URL>/audio/transcriptions."),
                      QStringLiteral("URL")});
    parser.addOption({kModel, QStringLiteral("openai recogniser: the model to ask for (default %1).").arg(kDefaultModel),
                      QStringLiteral("NAME")});
    parser.addOption({kKeyFile,
                      QStringLiteral("openai recogniser: read the API key (sent as a Bearer token) from this file; "
                                     "otherwise from %1. Without either no key is sent.")
                          .arg(QLatin1String(kKeyVariable)),
                      QStringLiteral("FILE")});
}

std::optional<OpenAiSettings> readSettings(const QCommandLineParser& parser, QString* error)
{
    OpenAiSettings settings;
    settings.baseUrl = QUrl(parser.value(kUrl), QUrl::StrictMode);
    const QString scheme = settings.baseUrl.scheme();
    if (!settings.baseUrl.isValid() || settings.baseUrl.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        *error = parser.isSet(kUrl) ? QStringLiteral("--%1: not an http(s) URL: %2").arg(kUrl, parser.value(kUrl))
                                    : QStringLiteral("the openai recogniser needs --%1").arg(kUrl);
        return std::nullopt;
    }
    settings.model = parser.isSet(kModel) ? parser.value(kModel).trimmed() : kDefaultModel;
    if (settings.model.isEmpty()) {
        *error = QStringLiteral("--%1: empty model name").arg(kModel);
        return std::nullopt;
    }
    if (const QString keyFile = parser.value(kKeyFile); !keyFile.isEmpty()) {
        QFile file(keyFile);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read --%1 %2: %3").arg(kKeyFile, keyFile, file.errorString());
            return std::nullopt;
        }
        settings.apiKey = file.readAll().trimmed();
    } else {
        settings.apiKey = qgetenv(kKeyVariable).trimmed();
    }
    if (settings.apiKey.contains('\n') || settings.apiKey.contains('\r')) {
        *error = QStringLiteral("the openai API key must be one line");
        return std::nullopt;
    }
    return settings;
}

} // namespace

RecognizerBuilder openAiRecognizer()
{
    return {QStringLiteral("openai"), addOptions,
            [](const RecognizerSettings& settings, QString* error) -> std::unique_ptr<FileRecognizer> {
                const std::optional<OpenAiSettings> openAi = readSettings(settings.parser, error);
                if (!openAi)
                    return nullptr;
                return std::make_unique<OpenAiTranscriber>(*openAi, settings.options.recognitionThreadCount());
            },
            [](const RecognizerSettings& settings, QString* error) -> std::unique_ptr<StreamRecognizer> {
                const std::optional<OpenAiSettings> openAi = readSettings(settings.parser, error);
                if (!openAi)
                    return nullptr;
                auto transcriber =
                    std::make_shared<OpenAiTranscriber>(*openAi, kMaxConcurrentStreamTranscriptions);
                RetranscribingStream::Transcribe transcribe =
                    [transcriber](std::span<const std::int16_t> samples, const RecognitionContext& context,
                                  std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancelled) {
                        return transcriber->transcribe(samples, context, deadline, cancelled);
                    };
                return std::make_unique<RetranscribingStreamRecognizer>(
                    transcriber->name(), std::move(transcribe), QtRepeatingTimer::factory(),
                    kMaxConcurrentStreamTranscriptions, std::chrono::seconds(settings.options.recognitionTimeoutSeconds));
            }};
}

} // namespace velnor::server
