#include "ui/indicator/IndicatorAnimation.h"

#include <QEasingCurve>
#include <QPointF>

#include <algorithm>
#include <cmath>

namespace velnor {

namespace {
constexpr double kRippleSwingSeconds = 0.8;
constexpr double kRippleStaggerSeconds = 0.5;
} // namespace

double easeInEaseOut(double progress)
{
    static const QEasingCurve curve = [] {
        QEasingCurve bezier(QEasingCurve::BezierSpline);
        bezier.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
        return bezier;
    }();
    return curve.valueForProgress(std::clamp(progress, 0.0, 1.0));
}

const std::array<QColor, kRippleDotCount>& rippleDotColors()
{
    static const std::array<QColor, kRippleDotCount> colors = {
        QColor::fromRgbF(0.4f, 0.2f, 0.9f), QColor::fromRgbF(0.2f, 0.6f, 1.0f), QColor::fromRgbF(1.0f, 0.6f, 0.0f),
        QColor::fromRgbF(0.9f, 0.3f, 0.5f), QColor::fromRgbF(0.0f, 0.8f, 0.8f), QColor::fromRgbF(0.3f, 0.8f, 0.3f),
        QColor::fromRgbF(0.9f, 0.4f, 0.2f), QColor::fromRgbF(0.0f, 0.7f, 0.4f), QColor::fromRgbF(0.8f, 0.3f, 0.8f),
    };
    return colors;
}

double rippleValue(int index, double secondsShown)
{
    const double t = secondsShown - index * kRippleStaggerSeconds;
    if (t <= 0)
        return 0;
    const double cycle = std::fmod(t, 2 * kRippleSwingSeconds);
    const double linear = cycle < kRippleSwingSeconds ? cycle / kRippleSwingSeconds : 2 - cycle / kRippleSwingSeconds;
    return easeInEaseOut(linear);
}

RippleDotLook rippleDotLook(double value)
{
    return {0.7 + 0.8 * value, 0.2 + 0.8 * value, 1.5 * (1 - value)};
}

} // namespace velnor
