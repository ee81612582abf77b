#pragma once

#include <QColor>
#include <QVector>

#include <array>

namespace velnor {

inline constexpr int kWaveformBarCount = 10;
using BarLevels = std::array<double, kWaveformBarCount>;

// One recorder batch (usually 100 levels) as the ten bars: each value made
// finite and clamped to 0…1, short batches padded with their last value, long
// ones sampled every count / 10.
BarLevels barsFromLevels(const QVector<float>& levels);

// The bar's height fraction of the available height for a level: one tenth at
// silence, one half at full scale.
double barHeightFraction(double level);

// A hue kept inside 0…1 (1.05 is 0.05).
double wrapHue(double hue);

// The bar gradient: `hue` at the top, `hue` + 0.1 at the bottom.
QColor barTopColor(double hue);
QColor barBottomColor(double hue);

// A damped spring that chases a target (response in seconds, damping
// fraction 0…1). It may overshoot; callers clamp what they draw.
class SpringValue final {
public:
    SpringValue(double response, double dampingFraction, double value = 0);

    void setTarget(double target) { m_target = target; }
    double target() const { return m_target; }
    double value() const { return m_value; }
    // Moves the spring forward by `seconds`; true while it still moves.
    bool advance(double seconds);
    bool isSettled() const;

private:
    double m_stiffness;
    double m_damping;
    double m_value;
    double m_velocity = 0;
    double m_target;
};

} // namespace velnor
