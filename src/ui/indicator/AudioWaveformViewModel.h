#pragma once

#include "core/Scheduler.h"
#include "ui/indicator/WaveformMath.h"

#include <QVector>

#include <functional>

namespace velnor {

// The recording face's levels: random every 0.5 s until the recorder's first
// batch arrives, then only the recorder's; plus the hue that cycles every 5 s.
class AudioWaveformViewModel final {
public:
    // `random` yields uniform values in [0, 1).
    AudioWaveformViewModel(Scheduler& scheduler, std::function<double()> random);
    ~AudioWaveformViewModel();
    AudioWaveformViewModel(const AudioWaveformViewModel&) = delete;
    AudioWaveformViewModel& operator=(const AudioWaveformViewModel&) = delete;

    // When the face appears; `now` starts the hue cycle. Idempotent.
    void startAnimating(Duration now);
    void updateWithExternalSamples(const QVector<float>& levels);

    const BarLevels& samples() const { return m_samples; }
    double hue(Duration now) const;
    bool isAnimating() const { return m_isAnimating; }
    bool usesExternalSamples() const { return m_useExternalSamples; }

private:
    void scheduleRandomTick();

    Scheduler& m_scheduler;
    std::function<double()> m_random;
    BarLevels m_samples{};
    Duration m_hueStart{0};
    bool m_isAnimating = false;
    bool m_useExternalSamples = false;
    Cancellable m_timer;
};

} // namespace velnor
