#pragma once

#include "platform/OverlayLayer.h"
#include "platform/linux/wayland/WaylandHandles.h"

#include <QByteArray>
#include <QImage>
#include <QMargins>

#include <cstdint>
#include <memory>
#include <vector>

struct wl_buffer;
struct wl_surface;
struct zwlr_layer_surface_v1;

namespace velnor::wayland {

class WaylandConnection;

// A picture on the compositor's overlay layer (layer-shell: wlroots
// compositors, KWin): above every window, never given the keyboard focus,
// with an empty input region so clicks reach the window below. Each shown
// image goes out in a shared-memory buffer.
class LayerShellSurface final : public OverlayLayer {
public:
    // `scope` names the surface's purpose to the compositor.
    LayerShellSurface(WaylandConnection& connection, QByteArray scope);
    ~LayerShellSurface() override;

    bool isAvailable() const override;
    void show(const QImage& image, std::uint32_t anchors, const QMargins& margins) override;
    // Whether the compositor accepted the surface and it shows a picture.
    bool isMapped() const { return m_mapped; }

    struct Buffer;

private:
    friend struct LayerEvents;
    void create();
    void destroy();
    void draw();
    Buffer* freeBuffer(const QSize& size);

    WaylandConnection& m_connection;
    const QByteArray m_scope;
    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layer = nullptr;
    std::vector<std::unique_ptr<Buffer>> m_buffers;
    bool m_configured = false;
    bool m_mapped = false;
    bool m_drawPending = false;
    QImage m_image;
    std::uint32_t m_anchors = 0;
    QMargins m_margins;
    QSize m_size;
    std::uint32_t m_sentAnchors = ~0u;
    QMargins m_sentMargins{-1, -1, -1, -1};
};

} // namespace velnor::wayland
