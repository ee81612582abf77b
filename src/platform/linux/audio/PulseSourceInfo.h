#pragma once

#include "core/Result.h"
#include "platform/AudioDevices.h"

struct pa_source_info;

namespace velnor {

// A PulseAudio source description in the platform's terms.
AudioSourceInfo toSourceInfo(const pa_source_info& info);

// One listing of the server's sources, fed by the list callback.
class SourceListing final {
public:
    // Each call of the callback: a source (eol 0), the end of the list
    // (eol > 0), or the server's refusal (eol < 0, with its error text).
    void add(const pa_source_info* info, int eol, const QString& errorText);

    bool isFinished() const { return m_finished; }
    // The sources, or the error when the server refused the listing: a
    // refused listing is not an empty one.
    Result<QList<AudioSourceInfo>, QString> result() const;

private:
    QList<AudioSourceInfo> m_sources;
    std::optional<QString> m_failure;
    bool m_finished = false;
};

} // namespace velnor
