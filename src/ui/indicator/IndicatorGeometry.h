#pragma once

#include "ui/Indicator.h"

#include <QColor>
#include <QRectF>
#include <QRegion>
#include <QString>

#include <optional>

namespace velnor {

// How the indicator looks at one of its two sizes.
struct WindowStyle {
    QSizeF size;
    double cornerRadius = 0;
    QColor backgroundColor;
    double alphaValue = 1;
    double animationDuration = 0; // seconds
    bool showCustomView = false;
};

const WindowStyle& windowStyle(WindowSize size);

// The six places the indicator can sit, in the order of the position setting.
enum class IndicatorPosition { TopLeft, TopCenter, TopRight, BottomLeft, BottomCenter, BottomRight };

inline constexpr double kIndicatorScreenMargin = 5;

QString positionSettingValue(IndicatorPosition position);
std::optional<IndicatorPosition> positionFromIndex(int index);
// Missing or unknown values mean bottom centre.
IndicatorPosition positionFromSetting(const std::optional<QString>& value);

// Screen coordinates grow to the right and downwards (X11 and Qt); "top" is
// the smaller y. `available` is the screen's area outside panels and docks.
QPointF originFor(IndicatorPosition position, const QSizeF& size, const QRectF& available);

// Which position a window frame is nearest to, measured inside the available
// area (so a second screen or a left panel does not shift the columns).
IndicatorPosition positionOfFrame(const QRectF& frame, const QRectF& available);

// `frame` resized to `size`, keeping the edges the position clings to.
QRectF anchoredFrame(const QRectF& frame, const QSizeF& size, IndicatorPosition position);

// The rounded-rectangle outline as a region, for windows without a compositor.
QRegion roundedRegion(const QSize& size, int radius);

} // namespace velnor
