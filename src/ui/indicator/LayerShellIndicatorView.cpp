#include "ui/indicator/LayerShellIndicatorView.h"

#include "platform/OverlayLayer.h"
#include "ui/indicator/IndicatorGeometry.h"
#include "ui/indicator/IndicatorPainter.h"

#include <QPainter>

namespace velnor {

OverlayPlacement overlayPlacementFor(const QRect& frame, const QRect& available)
{
    const IndicatorPosition position = positionOfFrame(frame, available);
    const QMargins distance(frame.left() - available.left(), frame.top() - available.top(),
                            available.right() - frame.right(), available.bottom() - frame.bottom());
    OverlayPlacement placement;
    switch (position) {
    case IndicatorPosition::TopLeft:
    case IndicatorPosition::BottomLeft:
        placement.anchors |= OverlayAnchor::Left;
        placement.margins.setLeft(distance.left());
        break;
    case IndicatorPosition::TopRight:
    case IndicatorPosition::BottomRight:
        placement.anchors |= OverlayAnchor::Right;
        placement.margins.setRight(distance.right());
        break;
    case IndicatorPosition::TopCenter:
    case IndicatorPosition::BottomCenter:
        break; // no horizontal edge: the compositor centres it
    }
    const bool top = position == IndicatorPosition::TopLeft || position == IndicatorPosition::TopCenter
                  || position == IndicatorPosition::TopRight;
    if (top) {
        placement.anchors |= OverlayAnchor::Top;
        placement.margins.setTop(distance.top());
    } else {
        placement.anchors |= OverlayAnchor::Bottom;
        placement.margins.setBottom(distance.bottom());
    }
    return placement;
}

LayerShellIndicatorView::LayerShellIndicatorView(OverlayLayer& layer, std::function<QRect()> available)
    : m_layer(layer)
    , m_available(std::move(available))
{
}

void LayerShellIndicatorView::present(const IndicatorScene& scene)
{
    m_scene = scene;
    if (m_shown)
        showScene();
}

void LayerShellIndicatorView::bringToFront(bool)
{
    // The overlay layer is above every window already; there is nothing
    // to raise, only to show.
    m_shown = true;
    showScene();
}

void LayerShellIndicatorView::showScene()
{
    if (m_frame.isEmpty())
        return;
    QImage image(m_frame.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintIndicator(painter, m_scene);
    painter.end();
    const OverlayPlacement placement = overlayPlacementFor(m_frame, m_available());
    m_layer.show(image, placement.anchors, placement.margins);
}

} // namespace velnor
