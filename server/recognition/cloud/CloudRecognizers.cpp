#include "recognition/cloud/CloudRecognizers.h"

#include "recognition/cloud/CloudFileRecognizer.h"
#include "recognition/cloud/CloudSettings.h"
#include "recognition/cloud/CloudStreamRecognizer.h"

#include <QDateTime>

namespace velnor::server::cloud {

void CloudRecognizers::addOptions(QCommandLineParser& parser)
{
    CloudSettings::addOptions(parser);
}

std::optional<CloudRecognizers> CloudRecognizers::fromParser(const QCommandLineParser& parser, QString* error)
{
    const std::optional<CloudSettings> settings = CloudSettings::fromParser(parser, error);
    if (!settings)
        return std::nullopt;
    const auto wallClock = [] { return QDateTime::currentSecsSinceEpoch(); };
    CloudRecognizers recognizers;
    recognizers.files = std::make_unique<CloudFileRecognizer>(*settings, wallClock);
    recognizers.streams = std::make_unique<CloudStreamRecognizer>(*settings, wallClock);
    return recognizers;
}

} // namespace velnor::server::cloud
