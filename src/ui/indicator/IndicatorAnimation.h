#pragma once

#include <QColor>

#include <array>

namespace velnor {

// The platform's standard ease-in-ease-out timing (cubic Bézier 0.42, 0, 0.58, 1)
// for a progress in 0…1.
double easeInEaseOut(double progress);

inline constexpr int kRippleDotCount = 9;
inline constexpr double kRippleDotSize = 8;
inline constexpr double kRippleSpacing = 8;

const std::array<QColor, kRippleDotCount>& rippleDotColors();

// How far dot `index` is into its pulse (0 at rest: scale 0.7, opacity 0.2,
// blurred; 1 at full: scale 1.5, opacity 1, sharp), `secondsShown` after the
// recognising face appeared. Each dot waits index × 0.5 s, then swings 0.8 s
// out and 0.8 s back, forever.
double rippleValue(int index, double secondsShown);

struct RippleDotLook {
    double scale;
    double opacity;
    double blurRadius;
};
RippleDotLook rippleDotLook(double value);

} // namespace velnor
