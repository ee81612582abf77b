#include "ui/indicator/IndicatorGeometry.h"
#include "ui/indicator/IndicatorPainter.h"
#include "ui/indicator/LayerShellIndicatorView.h"

#include "platform/OverlayLayer.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace velnor {
namespace {

const QSizeF kSmall(40, 6);
const QSizeF kLarge(100, 30);
const QRectF kLaptop(0, 0, 1440, 875);
const QRectF kSecondScreen(1920, 0, 1920, 1080);
const QRectF kBesideLeftPanel(100, 0, 1820, 1080);

TEST(IndicatorGeometry, OriginsSitFivePointsInsideTheAvailableArea)
{
    struct Case {
        IndicatorPosition position;
        QSizeF size;
        QRectF available;
        QPointF origin;
    };
    const Case cases[] = {
        // The idle bar at top_right of a 1440×875 area (y counted downwards).
        {IndicatorPosition::TopRight, kSmall, kLaptop, {1395, 5}},
        {IndicatorPosition::TopLeft, kSmall, kLaptop, {5, 5}},
        {IndicatorPosition::TopCenter, kLarge, kLaptop, {670, 5}},
        {IndicatorPosition::BottomCenter, kSmall, kLaptop, {700, 864}},
        {IndicatorPosition::BottomRight, kLarge, kLaptop, {1335, 840}},
        {IndicatorPosition::BottomLeft, kSmall, kSecondScreen, {1925, 1069}},
        {IndicatorPosition::TopRight, kSmall, kSecondScreen, {3795, 5}},
        {IndicatorPosition::BottomLeft, kSmall, kBesideLeftPanel, {105, 1069}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(positionSettingValue(c.position).toStdString());
        EXPECT_EQ(originFor(c.position, c.size, c.available), c.origin);
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

TEST(IndicatorGeometry, SettingValuesAndIndexes)
{
    for (int index = 0; index < 6; ++index) {
        const IndicatorPosition position = *positionFromIndex(index);
        EXPECT_EQ(positionFromSetting(positionSettingValue(position)), position);
    }
    for (const auto& value : {std::optional<QString>(), std::optional<QString>(QStringLiteral("middle")),
                              std::optional<QString>(QStringLiteral("TOP_LEFT"))})
        EXPECT_EQ(positionFromSetting(value), IndicatorPosition::BottomCenter);
    EXPECT_FALSE(positionFromIndex(-1));
    EXPECT_FALSE(positionFromIndex(6));
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

// A compositor overlay cannot be placed by coordinates: each of the six
// positions clings to its own edges, at the frame's distance from them.
TEST(IndicatorGeometry, OverlayPlacementsClingToTheEdgesOfTheirPosition)
{
    using namespace OverlayAnchor;
    struct Case {
        IndicatorPosition position;
        QRectF available;
        std::uint32_t anchors;
        QMargins margins;
    };
    const Case cases[] = {
        {IndicatorPosition::TopLeft, kLaptop, Top | Left, {5, 5, 0, 0}},
        {IndicatorPosition::TopCenter, kLaptop, Top, {0, 5, 0, 0}},
        {IndicatorPosition::TopRight, kLaptop, Top | Right, {0, 5, 5, 0}},
        {IndicatorPosition::BottomLeft, kSecondScreen, Bottom | Left, {5, 0, 0, 5}},
        {IndicatorPosition::BottomCenter, kLaptop, Bottom, {0, 0, 0, 5}},
        {IndicatorPosition::BottomRight, kBesideLeftPanel, Bottom | Right, {0, 0, 5, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(positionSettingValue(c.position).toStdString());
        const QRect frame(originFor(c.position, kLarge, c.available).toPoint(), kLarge.toSize());
        const OverlayPlacement placement = overlayPlacementFor(frame, c.available.toRect());
        EXPECT_EQ(placement.anchors, c.anchors);
        EXPECT_EQ(placement.margins, c.margins);
    }
}

class RecordingOverlay final : public OverlayLayer {
public:
    bool isAvailable() const override { return true; }
    void show(const QImage& image, std::uint32_t anchors, const QMargins& margins) override
    {
        shown.append({image, {anchors, margins}});
    }
    QList<QPair<QImage, OverlayPlacement>> shown;
};

TEST(IndicatorGeometry, TheOverlayViewShowsThePaintersPictureOnceBroughtToFront)
{
    RecordingOverlay overlay;
    LayerShellIndicatorView view(overlay, [] { return kLaptop.toRect(); });
    IndicatorScene scene;
    scene.size = kLarge;
    scene.cornerRadius = 15;
    scene.background = QColor(20, 20, 20);
    view.setFrame(QRect(originFor(IndicatorPosition::TopRight, kLarge, kLaptop).toPoint(), kLarge.toSize()));
    view.present(scene);
    EXPECT_TRUE(overlay.shown.isEmpty()) << "nothing shows before the controller brings it up";

    view.bringToFront(false);
    view.present(scene);
    ASSERT_EQ(overlay.shown.size(), 2);
    QImage expected(kLarge.toSize(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    QPainter painter(&expected);
    paintIndicator(painter, scene);
    painter.end();
    EXPECT_EQ(overlay.shown.last().first, expected);
    EXPECT_EQ(overlay.shown.last().second, (OverlayPlacement{OverlayAnchor::Top | OverlayAnchor::Right, {0, 5, 5, 0}}));
}

} // namespace
} // namespace velnor
