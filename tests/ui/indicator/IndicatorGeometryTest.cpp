#include "ui/indicator/IndicatorGeometry.h"
#include "ui/indicator/LayerShellIndicatorView.h"

#include "platform/OverlayLayer.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

const QSizeF kSmall(40, 6);
const QSizeF kLarge(100, 30);
const QRectF kLaptop(0, 0, 1440, 875);
const QRectF kSecondScreen(1920, 0, 1920, 1080);
const QRectF kBesideLeftPanel(100, 0, 1820, 1080);

// Each frame sits five points inside the available area. A compositor
// overlay cannot be placed by coordinates: it clings to its position's own
// edges, at the frame's distance from them.
TEST(IndicatorGeometry, FramesSitFivePointsInsideTheAreaAndOverlaysClingToTheSameEdges)
{
    using namespace OverlayAnchor;
    struct Case {
        IndicatorPosition position;
        QSizeF size;
        QRectF available;
        QPointF origin;
        std::uint32_t anchors;
        QMargins margins;
    };
    const Case cases[] = {
        // The idle bar at top_right of a 1440×875 area (y counted downwards).
        {IndicatorPosition::TopRight, kSmall, kLaptop, {1395, 5}, Top | Right, {0, 5, 5, 0}},
        {IndicatorPosition::TopLeft, kSmall, kLaptop, {5, 5}, Top | Left, {5, 5, 0, 0}},
        {IndicatorPosition::TopCenter, kLarge, kLaptop, {670, 5}, Top, {0, 5, 0, 0}},
        {IndicatorPosition::BottomCenter, kSmall, kLaptop, {700, 864}, Bottom, {0, 0, 0, 5}},
        {IndicatorPosition::BottomRight, kLarge, kLaptop, {1335, 840}, Bottom | Right, {0, 0, 5, 5}},
        {IndicatorPosition::BottomLeft, kSmall, kSecondScreen, {1925, 1069}, Bottom | Left, {5, 0, 0, 5}},
        {IndicatorPosition::TopRight, kSmall, kSecondScreen, {3795, 5}, Top | Right, {0, 5, 5, 0}},
        {IndicatorPosition::BottomLeft, kSmall, kBesideLeftPanel, {105, 1069}, Bottom | Left, {5, 0, 0, 5}},
        {IndicatorPosition::BottomRight, kLarge, kBesideLeftPanel, {1815, 1045}, Bottom | Right, {0, 0, 5, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(positionSettingValue(c.position).toStdString());
        EXPECT_EQ(originFor(c.position, c.size, c.available), c.origin);
        const OverlayPlacement placement =
            overlayPlacementFor(QRect(c.origin.toPoint(), c.size.toSize()), c.available.toRect());
        EXPECT_EQ(placement.anchors, c.anchors);
        EXPECT_EQ(placement.margins, c.margins);
    }
}

TEST(IndicatorGeometry, ResizesKeepTheEdgesOfTheirPosition)
{
    for (const QRectF& available : {kLaptop, kSecondScreen, kBesideLeftPanel}) {
        for (int index = 0; index < 6; ++index) {
            const IndicatorPosition position = *positionFromIndex(index);
            const QRectF small(originFor(position, kSmall, available), kSmall);
            const QRectF grown = anchoredFrame(small, kLarge, positionOfFrame(small, available));
            SCOPED_TRACE(positionSettingValue(position).toStdString());
            EXPECT_EQ(positionFromSetting(positionSettingValue(position)), position);
            // Grown in place it lands exactly where a large pill belongs, on screen.
            EXPECT_EQ(grown.topLeft(), originFor(position, kLarge, available));
            EXPECT_TRUE(available.contains(grown));
            const QRectF shrunk = anchoredFrame(grown, kSmall, positionOfFrame(grown, available));
            EXPECT_EQ(shrunk, small);
        }
    }
    // Nothing to measure against: bottom centre.
    EXPECT_EQ(positionOfFrame(QRectF(), kLaptop), IndicatorPosition::BottomCenter);
    EXPECT_EQ(positionOfFrame(QRectF(0, 0, 40, 6), QRectF()), IndicatorPosition::BottomCenter);
}

TEST(IndicatorGeometry, RoundedRegionLeavesTheCornersOut)
{
    const QRegion pill = roundedRegion(QSize(100, 30), 15);
    EXPECT_FALSE(pill.contains(QPoint(0, 0)));
    EXPECT_FALSE(pill.contains(QPoint(99, 29)));
    EXPECT_TRUE(pill.contains(QPoint(50, 15)));
    // A radius larger than the bar allows is capped, and zero is a plain rectangle.
    EXPECT_TRUE(roundedRegion(QSize(40, 6), 15).contains(QPoint(20, 0)));
    EXPECT_TRUE(roundedRegion(QSize(40, 6), 0).contains(QPoint(0, 0)));
}

} // namespace
} // namespace velnor
