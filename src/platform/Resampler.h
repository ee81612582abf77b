#pragma once

#include "platform/AudioFormat.h"

#include <functional>
#include <memory>
#include <optional>

namespace velnor {

// Converts a stream of buffers from one PCM format to another (rate,
// channels, sample type). Keeps filter state between calls, so consecutive
// buffers of one stream join without clicks. Frame counts are exact over the
// stream: the output so far is always input so far × target rate / input
// rate (truncated), so a single call may yield one frame more or less.
class Resampler {
public:
    Resampler() = default;
    virtual ~Resampler() = default;
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // None when the buffer cannot be converted.
    virtual std::optional<AudioBuffer> convert(const AudioBuffer& input) = 0;
};

// None when no converter exists for the pair of formats.
using ResamplerFactory = std::function<std::unique_ptr<Resampler>(const AudioFormat& from, const AudioFormat& to)>;

} // namespace velnor
