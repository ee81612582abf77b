#pragma once

#include "platform/Resampler.h"

struct SwrContext;

namespace velnor {

// libswresample behind the Resampler interface.
//
// Frame counts are exact over the stream: after any number of calls the
// total output is (total input) × target rate / input rate, truncated, so
// per-buffer rounding never drifts (512 frames at 48 kHz give 170, 171, 171,
// 170, … at 16 kHz). The filter's start-up delay is covered by a few frames
// of leading silence (a few milliseconds).
class SwrResampler final : public Resampler {
public:
    // Use create(): construction may fail.
    static std::unique_ptr<SwrResampler> create(const AudioFormat& from, const AudioFormat& to);
    static ResamplerFactory factory();
    ~SwrResampler() override;

    std::optional<AudioBuffer> convert(const AudioBuffer& input) override;

private:
    SwrResampler(SwrContext* context, const AudioFormat& from, const AudioFormat& to);
    bool runSwr(const AudioBuffer& input);

    SwrContext* m_context;
    const AudioFormat m_from;
    const AudioFormat m_to;
    qint64 m_framesIn = 0;
    qint64 m_framesOut = 0;
    bool m_primed = false;
    QByteArray m_carry; // converted frames not handed out yet (target format)
};

} // namespace velnor
