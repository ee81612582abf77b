#include "ui/indicator/WaveformMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velnor {

namespace {

double saneLevel(double value)
{
    if (!std::isfinite(value))
        return 0;
    return std::clamp(value, 0.0, 1.0);
}

constexpr double kMaxStep = 1.0 / 240; // seconds; keeps the integration stable
constexpr double kSettleDistance = 1e-4;

} // namespace

BarLevels barsFromLevels(const QVector<float>& levels)
{
    BarLevels bars{};
    const qsizetype count = levels.size();
    if (count <= kWaveformBarCount) {
        const double last = count == 0 ? 0.0 : saneLevel(levels.back());
        for (int i = 0; i < kWaveformBarCount; ++i)
            bars[static_cast<std::size_t>(i)] = i < count ? saneLevel(levels[i]) : last;
        return bars;
    }
    const qsizetype step = count / kWaveformBarCount;
    for (int i = 0; i < kWaveformBarCount; ++i)
        bars[static_cast<std::size_t>(i)] = saneLevel(levels[std::min(count - 1, i * step)]);
    return bars;
}

double barHeightFraction(double level)
{
    return 0.1 + 0.4 * std::abs(level);
}

double wrapHue(double hue)
{
    if (!std::isfinite(hue))
        return 0;
    const double wrapped = hue - std::floor(hue);
    return wrapped >= 1.0 ? 0.0 : wrapped;
}

QColor barTopColor(double hue)
{
    return QColor::fromHsvF(static_cast<float>(wrapHue(hue)), 1.0f, 1.0f, 1.0f);
}

QColor barBottomColor(double hue)
{
    return barTopColor(hue + 0.1);
}

SpringValue::SpringValue(double response, double dampingFraction, double value)
    : m_stiffness(std::pow(2 * std::numbers::pi / response, 2))
    , m_damping(4 * std::numbers::pi * dampingFraction / response)
    , m_value(value)
    , m_target(value)
{
}

bool SpringValue::advance(double seconds)
{
    if (isSettled()) {
        m_value = m_target;
        m_velocity = 0;
        return false;
    }
    double left = std::max(0.0, seconds);
    while (left > 0) {
        const double dt = std::min(left, kMaxStep);
        const double acceleration = -m_stiffness * (m_value - m_target) - m_damping * m_velocity;
        m_velocity += acceleration * dt;
        m_value += m_velocity * dt;
        left -= dt;
    }
    return !isSettled();
}

bool SpringValue::isSettled() const
{
    return std::abs(m_value - m_target) < kSettleDistance && std::abs(m_velocity) < kSettleDistance;
}

} // namespace velnor
