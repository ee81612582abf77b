#include "recognition/RecognizerChoice.h"

namespace velnor::server {

// ---------------------------------------------------------------------------
// The cloud recogniser: its options and builders go here (its client lives in
// recognition/cloud/). Until then, choosing it stops the start with this error.
// ---------------------------------------------------------------------------
RecognizerBuilder cloudRecognizer()
{
    return unavailableRecognizer(QStringLiteral("cloud"), QStringLiteral("the cloud recogniser is not built in"));
}

} // namespace velnor::server
