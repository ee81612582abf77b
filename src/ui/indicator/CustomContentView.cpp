#include "ui/indicator/CustomContentView.h"

#include <algorithm>

namespace velnor {

namespace {
constexpr double kSpringResponse = 0.4;
constexpr double kSpringDamping = 0.3;

double secondsBetween(Duration from, Duration to)
{
    return std::chrono::duration<double>(to - from).count();
}

std::array<SpringValue, kWaveformBarCount> silentBars()
{
    const SpringValue silent(kSpringResponse, kSpringDamping, barHeightFraction(0));
    std::array<SpringValue, kWaveformBarCount> bars{silent, silent, silent, silent, silent,
                                                    silent, silent, silent, silent, silent};
    return bars;
}
} // namespace

CustomContentView::CustomContentView(Scheduler& scheduler, std::function<double()> random, Duration now)
    : m_waveform(scheduler, std::move(random))
    , m_bars(silentBars())
    , m_lastAdvance(now)
{
    m_waveform.startAnimating(now);
}

void CustomContentView::setState(std::optional<ViewState> state, Duration now)
{
    bool showFront = !m_showingFront;
    if (state) {
        m_currentState = *state;
        showFront = *state == ViewState::Recording;
        if (showFront == m_showingFront)
            return;
    }
    m_showingFront = showFront;
    m_flipStart = now;
    if (!showFront)
        m_rippleStart = now;
}

void CustomContentView::advance(Duration now)
{
    const double elapsed = secondsBetween(m_lastAdvance, now);
    m_lastAdvance = now;
    const BarLevels& samples = m_waveform.samples();
    for (std::size_t i = 0; i < m_bars.size(); ++i) {
        m_bars[i].setTarget(barHeightFraction(samples[i]));
        m_bars[i].advance(elapsed);
    }
}

void CustomContentView::fillScene(IndicatorScene& scene, Duration now) const
{
    scene.hasContent = true;
    double progress = 1;
    if (m_flipStart)
        progress = easeInEaseOut(secondsBetween(*m_flipStart, now) / secondsBetween(Duration(0), kFlipDuration));
    // The incoming face rises from below while the outgoing one leaves upwards.
    FacePlacement incoming{true, 1 - progress};
    FacePlacement outgoing{progress < 1, -progress};
    scene.front = m_showingFront ? incoming : outgoing;
    scene.back = m_showingFront ? outgoing : incoming;

    for (std::size_t i = 0; i < m_bars.size(); ++i)
        scene.barHeights[i] = std::max(0.0, m_bars[i].value());
    scene.hue = m_waveform.hue(now);
    const double shown = secondsBetween(m_rippleStart, now);
    for (int i = 0; i < kRippleDotCount; ++i)
        scene.ripple[static_cast<std::size_t>(i)] = rippleValue(i, shown);
    scene.appIcon = m_appIcon;
}

} // namespace velnor
