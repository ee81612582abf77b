#pragma once

#include "ui/indicator/IndicatorAnimation.h"
#include "ui/indicator/WaveformMath.h"

#include <QColor>
#include <QImage>
#include <QSizeF>

namespace velnor {

// Where a face sits during a flip: `offset` in pill heights (0 in place,
// 1 just below, -1 just above).
struct FacePlacement {
    bool visible = false;
    double offset = 0;
};

// Everything one frame of the indicator shows; the painter needs nothing else.
struct IndicatorScene {
    QSizeF size;
    double cornerRadius = 0;
    QColor background = Qt::black;
    double alpha = 1;
    // Without a compositor the window cannot be translucent: paint the pill
    // opaque, as it would look over a mid-grey desktop.
    bool opaqueBackdrop = false;

    bool hasContent = false;
    FacePlacement front;
    FacePlacement back;
    // Bar heights as fractions of the available height (never below 0).
    BarLevels barHeights{};
    double hue = 0;
    std::array<double, kRippleDotCount> ripple{};
    QImage appIcon;
};

} // namespace velnor
