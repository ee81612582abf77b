#pragma once

#include "ui/indicator/IndicatorScene.h"
#include "ui/indicator/IndicatorSurface.h"

#include <QMargins>

#include <cstdint>
#include <functional>

namespace velnor {

class OverlayLayer;

// Where an overlay picture goes for a frame: the edges of the frame's
// position (one of the six) and the frame's distance from them.
struct OverlayPlacement {
    std::uint32_t anchors = 0;
    QMargins margins;
    bool operator==(const OverlayPlacement&) const = default;
};
OverlayPlacement overlayPlacementFor(const QRect& frame, const QRect& available);

// The indicator as a compositor overlay (a Wayland layer surface): the
// same drawing as the window, handed over as a picture placed by edges.
// The compositor blends it and never gives it the focus.
class LayerShellIndicatorView final : public IndicatorSurface {
public:
    // `available` gives the screen area the controller places frames in.
    LayerShellIndicatorView(OverlayLayer& layer, std::function<QRect()> available);

    QRect frame() const override { return m_frame; }
    void setFrame(const QRect& frame) override { m_frame = frame; }
    void present(const IndicatorScene& scene) override;
    void bringToFront(bool forced) override;
    bool isComposited() const override { return true; }

private:
    void showScene();

    OverlayLayer& m_layer;
    std::function<QRect()> m_available;
    QRect m_frame;
    IndicatorScene m_scene;
    bool m_shown = false;
};

} // namespace velnor
