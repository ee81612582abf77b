#include "ui/indicator/IndicatorGeometry.h"


#include <algorithm>
#include <array>

namespace velnor {

namespace {

const std::array<const char*, 6> kPositionValues = {"top_left",    "top_center",    "top_right",
                                                    "bottom_left", "bottom_center", "bottom_right"};

enum class Column { Left, Center, Right };

Column columnOf(IndicatorPosition position)
{
    switch (position) {
    case IndicatorPosition::TopLeft:
    case IndicatorPosition::BottomLeft:
        return Column::Left;
    case IndicatorPosition::TopCenter:
    case IndicatorPosition::BottomCenter:
        return Column::Center;
    case IndicatorPosition::TopRight:
    case IndicatorPosition::BottomRight:
        return Column::Right;
    }
    return Column::Center;
}

bool isTop(IndicatorPosition position)
{
    return position == IndicatorPosition::TopLeft || position == IndicatorPosition::TopCenter
        || position == IndicatorPosition::TopRight;
}

IndicatorPosition combine(bool top, Column column)
{
    const int base = top ? 0 : 3;
    return static_cast<IndicatorPosition>(base + static_cast<int>(column));
}

} // namespace

const WindowStyle& windowStyle(WindowSize size)
{
    static const WindowStyle small{QSizeF(40, 6), 3, QColor(Qt::black), 0.3, 0.3, false};
    static const WindowStyle large{QSizeF(100, 30), 15, QColor(Qt::black), 0.7, 0.3, true};
    return size == WindowSize::Large ? large : small;
}

QString positionSettingValue(IndicatorPosition position)
{
    return QString::fromLatin1(kPositionValues[static_cast<std::size_t>(position)]);
}

std::optional<IndicatorPosition> positionFromIndex(int index)
{
    if (index < 0 || index >= static_cast<int>(kPositionValues.size()))
        return std::nullopt;
    return static_cast<IndicatorPosition>(index);
}

IndicatorPosition positionFromSetting(const std::optional<QString>& value)
{
    if (value) {
        for (std::size_t i = 0; i < kPositionValues.size(); ++i) {
            if (*value == QLatin1String(kPositionValues[i]))
                return static_cast<IndicatorPosition>(i);
        }
    }
    return IndicatorPosition::BottomCenter;
}

QPointF originFor(IndicatorPosition position, const QSizeF& size, const QRectF& available)
{
    double x = 0;
    switch (columnOf(position)) {
    case Column::Left:
        x = available.left() + kIndicatorScreenMargin;
        break;
    case Column::Center:
        x = available.center().x() - size.width() / 2;
        break;
    case Column::Right:
        x = available.right() - size.width() - kIndicatorScreenMargin;
        break;
    }
    const double y = isTop(position) ? available.top() + kIndicatorScreenMargin
                                     : available.bottom() - size.height() - kIndicatorScreenMargin;
    return {x, y};
}

IndicatorPosition positionOfFrame(const QRectF& frame, const QRectF& available)
{
    if (frame.isEmpty() || available.isEmpty())
        return IndicatorPosition::BottomCenter;
    const double relativeX = frame.center().x() - available.left();
    Column column = Column::Right;
    if (relativeX < available.width() / 3)
        column = Column::Left;
    else if (relativeX < 2 * available.width() / 3)
        column = Column::Center;
    return combine(frame.center().y() < available.center().y(), column);
}

QRectF anchoredFrame(const QRectF& frame, const QSizeF& size, IndicatorPosition position)
{
    double x = frame.left();
    if (columnOf(position) == Column::Center)
        x = frame.center().x() - size.width() / 2;
    else if (columnOf(position) == Column::Right)
        x = frame.right() - size.width();
    const double y = isTop(position) ? frame.top() : frame.bottom() - size.height();
    return {QPointF(x, y), size};
}

QRegion roundedRegion(const QSize& size, int radius)
{
    const QRect all(QPoint(0, 0), size);
    radius = std::clamp(radius, 0, std::min(size.width(), size.height()) / 2);
    if (radius == 0)
        return QRegion(all);
    const int diameter = 2 * radius;
    QRegion region(all.adjusted(radius, 0, -radius, 0));
    region += all.adjusted(0, radius, 0, -radius);
    region += QRegion(0, 0, diameter, diameter, QRegion::Ellipse);
    region += QRegion(all.width() - diameter, 0, diameter, diameter, QRegion::Ellipse);
    region += QRegion(0, all.height() - diameter, diameter, diameter, QRegion::Ellipse);
    region += QRegion(all.width() - diameter, all.height() - diameter, diameter, diameter, QRegion::Ellipse);
    return region;
}

} // namespace velnor
