#include "ui/indicator/AudioWaveformViewModel.h"

namespace velnor {

namespace {
constexpr Duration kRandomInterval = seconds(0.5);
constexpr double kHueCycleSeconds = 5.0;
} // namespace

AudioWaveformViewModel::AudioWaveformViewModel(Scheduler& scheduler, std::function<double()> random)
    : m_scheduler(scheduler)
    , m_random(std::move(random))
{
}

AudioWaveformViewModel::~AudioWaveformViewModel()
{
    m_timer.cancel();
}

void AudioWaveformViewModel::startAnimating(Duration now)
{
    if (m_isAnimating)
        return;
    m_isAnimating = true;
    m_hueStart = now;
    scheduleRandomTick();
}

void AudioWaveformViewModel::scheduleRandomTick()
{
    m_timer = m_scheduler.after(kRandomInterval, [this] {
        // Once the recorder speaks, random levels stop for good.
        if (m_useExternalSamples)
            return;
        for (double& sample : m_samples)
            sample = m_random();
        scheduleRandomTick();
    });
}

void AudioWaveformViewModel::updateWithExternalSamples(const QVector<float>& levels)
{
    m_samples = barsFromLevels(levels);
    m_useExternalSamples = true;
    m_timer.cancel();
}

double AudioWaveformViewModel::hue(Duration now) const
{
    if (!m_isAnimating)
        return 0;
    const double elapsed = std::chrono::duration<double>(now - m_hueStart).count();
    return wrapHue(elapsed / kHueCycleSeconds);
}

} // namespace velnor
