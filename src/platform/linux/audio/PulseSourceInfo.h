#pragma once

#include "platform/AudioDevices.h"

#include <optional>

struct pa_source_info;

namespace velnor {

class PulseConnection;

// A PulseAudio source description in the platform's terms.
AudioSourceInfo toSourceInfo(const pa_source_info& info);

// The server's default source name (empty when none); none on failure.
std::optional<QString> queryDefaultSourceName(PulseConnection& connection);

// The named source's description; none when it does not exist or on failure.
std::optional<AudioSourceInfo> querySource(PulseConnection& connection, const QString& name);

} // namespace velnor
