#pragma once

#include "core/Scheduler.h"
#include "ui/indicator/AudioWaveformViewModel.h"
#include "ui/indicator/IndicatorScene.h"

#include <QImage>

#include <optional>

namespace velnor {

enum class ViewState { Recording, Recognizing };

// The large pill's content: the recording face (level bars and the front
// application's icon) and the recognising face (rippling dots and the icon),
// flipped by a 0.5 s push from the bottom. Lives only while the pill is large,
// so every enlargement starts with ten silent bars.
class CustomContentView final {
public:
    CustomContentView(Scheduler& scheduler, std::function<double()> random, Duration now);

    // A state shows its face; none flips to the other one.
    void setState(std::optional<ViewState> state, Duration now);
    void setAppIcon(const QImage& icon) { m_appIcon = icon; }

    AudioWaveformViewModel& waveformViewModel() { return m_waveform; }
    const AudioWaveformViewModel& waveformViewModel() const { return m_waveform; }
    bool showingFront() const { return m_showingFront; }
    ViewState currentState() const { return m_currentState; }

    // Moves the bars' springs up to `now`.
    void advance(Duration now);
    void fillScene(IndicatorScene& scene, Duration now) const;

private:
    static constexpr Duration kFlipDuration = seconds(0.5);

    AudioWaveformViewModel m_waveform;
    std::array<SpringValue, kWaveformBarCount> m_bars;
    Duration m_lastAdvance;
    bool m_showingFront = true;
    ViewState m_currentState = ViewState::Recording;
    std::optional<Duration> m_flipStart;
    Duration m_rippleStart{0};
    QImage m_appIcon;
};

} // namespace velnor
