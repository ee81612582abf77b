#include "recognition/RecognizerChoice.h"

#include "recognition/cloud/CloudFileRecognizer.h"
#include "recognition/cloud/CloudSettings.h"
#include "recognition/cloud/CloudStreamRecognizer.h"

#include <QDateTime>

namespace velnor::server {

// The cloud recogniser: the vendor's one-sentence API for uploads, a relay to
// its real-time endpoint for streams, both signed with the server's cloud
// credentials (its client lives in recognition/cloud/).
RecognizerBuilder cloudRecognizer()
{
    using cloud::CloudSettings;
    const auto wallClock = [] { return QDateTime::currentSecsSinceEpoch(); };
    return {QStringLiteral("cloud"), [](QCommandLineParser& parser) { CloudSettings::addOptions(parser); },
            [wallClock](const RecognizerSettings& settings, QString* error) -> std::unique_ptr<FileRecognizer> {
                const auto cloud = CloudSettings::fromParser(settings.parser, CloudSettings::Use::Files, error);
                return cloud ? std::make_unique<cloud::CloudFileRecognizer>(*cloud, wallClock) : nullptr;
            },
            [wallClock](const RecognizerSettings& settings, QString* error) -> std::unique_ptr<StreamRecognizer> {
                const auto cloud = CloudSettings::fromParser(settings.parser, CloudSettings::Use::Streams, error);
                return cloud ? std::make_unique<cloud::CloudStreamRecognizer>(*cloud, wallClock) : nullptr;
            }};
}

} // namespace velnor::server
