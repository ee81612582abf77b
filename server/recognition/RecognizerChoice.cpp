#include "recognition/RecognizerChoice.h"

#include "app/ServerOptions.h"
#include "recognition/DecoderStreamRecognizer.h"
#include "recognition/PocketsphinxRecognizer.h"
#include "recognition/RecognizerPool.h"

#include <QCommandLineParser>

namespace velnor::server {

namespace {

const QString kRecognizer = QStringLiteral("recognizer");
const QString kRealtimeRecognizer = QStringLiteral("realtime-recognizer");
const QString kDefaultRecognizer = QStringLiteral("pocketsphinx");

QList<RecognizerBuilder> builders()
{
    return {pocketsphinxRecognizer(), openAiRecognizer(), cloudRecognizer()};
}

QString builderNames()
{
    QStringList names;
    for (const RecognizerBuilder& builder : builders())
        names << builder.name;
    return names.join(QLatin1Char('|'));
}

std::optional<RecognizerBuilder> builderNamed(const QString& name)
{
    for (const RecognizerBuilder& builder : builders()) {
        if (builder.name == name)
            return builder;
    }
    return std::nullopt;
}

std::optional<RecognizerBuilder> chosenBuilder(const QCommandLineParser& parser, const QString& option,
                                               const QString& fallback, QString* error)
{
    const QString name = parser.isSet(option) ? parser.value(option).trimmed() : fallback;
    std::optional<RecognizerBuilder> builder = builderNamed(name);
    if (!builder && error)
        *error = QStringLiteral("--%1: unknown recogniser \"%2\" (expected %3)").arg(option, name, builderNames());
    return builder;
}

} // namespace

RecognizerBuilder pocketsphinxRecognizer()
{
    const QString name = kDefaultRecognizer;
    return {name, [](QCommandLineParser&) {},
            [name](const RecognizerSettings& settings, QString*) -> std::unique_ptr<FileRecognizer> {
                return std::make_unique<RecognizerPool>(name, pocketsphinxRecognizerFactory(settings.options.model),
                                                        settings.options.recognitionThreadCount());
            },
            [name](const RecognizerSettings& settings, QString*) -> std::unique_ptr<StreamRecognizer> {
                return std::make_unique<DecoderStreamRecognizer>(name,
                                                                 pocketsphinxRecognizerFactory(settings.options.model));
            }};
}

RecognizerBuilder unavailableRecognizer(const QString& name, const QString& why)
{
    const auto refuse = [why](QString* error) {
        if (error)
            *error = why;
    };
    return {name, [](QCommandLineParser&) {},
            [refuse](const RecognizerSettings&, QString* error) -> std::unique_ptr<FileRecognizer> {
                refuse(error);
                return nullptr;
            },
            [refuse](const RecognizerSettings&, QString* error) -> std::unique_ptr<StreamRecognizer> {
                refuse(error);
                return nullptr;
            }};
}

void RecognizerChoice::addOptions(QCommandLineParser& parser)
{
    parser.addOption({kRecognizer,
                      QStringLiteral("Recogniser for uploaded recordings (/qasr/recognize): %1 (default %2).")
                          .arg(builderNames(), kDefaultRecognizer),
                      QStringLiteral("NAME")});
    parser.addOption({kRealtimeRecognizer,
                      QStringLiteral("Recogniser for the real-time endpoint: %1 (default: the --recognizer one).")
                          .arg(builderNames()),
                      QStringLiteral("NAME")});
    for (const RecognizerBuilder& builder : builders())
        builder.addOptions(parser);
}

std::unique_ptr<RecognizerChoice> RecognizerChoice::create(const QCommandLineParser& parser,
                                                           const ServerOptions& options, QString* error)
{
    const std::optional<RecognizerBuilder> fileBuilder = chosenBuilder(parser, kRecognizer, kDefaultRecognizer, error);
    if (!fileBuilder)
        return nullptr;
    const std::optional<RecognizerBuilder> streamBuilder =
        chosenBuilder(parser, kRealtimeRecognizer, fileBuilder->name, error);
    if (!streamBuilder)
        return nullptr;
    const RecognizerSettings settings{parser, options};
    std::unique_ptr<FileRecognizer> file = fileBuilder->file(settings, error);
    if (!file)
        return nullptr;
    std::unique_ptr<StreamRecognizer> stream = streamBuilder->stream(settings, error);
    if (!stream)
        return nullptr;
    return std::unique_ptr<RecognizerChoice>(new RecognizerChoice(std::move(file), std::move(stream)));
}

RecognizerChoice::RecognizerChoice(std::unique_ptr<FileRecognizer> file, std::unique_ptr<StreamRecognizer> stream)
    : m_file(std::move(file))
    , m_stream(std::move(stream))
{
}

void RecognizerChoice::warmUpStreams()
{
    if (auto* local = dynamic_cast<DecoderStreamRecognizer*>(m_stream.get()))
        local->preload();
}

} // namespace velnor::server
