#pragma once

#include <QImage>
#include <QMargins>

#include <cstdint>

namespace velnor {

// Edges an overlay picture clings to.
namespace OverlayAnchor {
inline constexpr std::uint32_t Top = 1;
inline constexpr std::uint32_t Bottom = 2;
inline constexpr std::uint32_t Left = 4;
inline constexpr std::uint32_t Right = 8;
} // namespace OverlayAnchor

// A picture the compositor keeps above every window, never focused and
// transparent to the mouse (a Wayland layer surface), placed by edges and
// margins since a Wayland client cannot place a window by coordinates.
class OverlayLayer {
public:
    OverlayLayer() = default;
    virtual ~OverlayLayer() = default;
    OverlayLayer(const OverlayLayer&) = delete;
    OverlayLayer& operator=(const OverlayLayer&) = delete;

    virtual bool isAvailable() const = 0;
    // Shows `image` `margins` away from the edges in `anchors` (an edge
    // pair not anchored centres it on that axis).
    virtual void show(const QImage& image, std::uint32_t anchors, const QMargins& margins) = 0;
};

} // namespace velnor
