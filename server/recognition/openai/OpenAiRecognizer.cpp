#include "recognition/RecognizerChoice.h"

namespace velnor::server {

RecognizerBuilder openAiRecognizer()
{
    return unavailableRecognizer(QStringLiteral("openai"), QStringLiteral("the openai recogniser is not built in"));
}

} // namespace velnor::server
