#include "platform/linux/wayland/LayerShellSurface.h"

#include "platform/linux/wayland/WaylandConnection.h"

#include "protocols/wlr-layer-shell-unstable-v1-client.h"

#include <wayland-client.h>

#include <cstring>

#include <sys/mman.h>

namespace velnor::wayland {

// One shared-memory pixel buffer; busy from attach until the compositor
// releases it.
struct LayerShellSurface::Buffer {
    LayerShellSurface* owner = nullptr;
    Owned<wl_buffer, wl_buffer_destroy> buffer;
    void* pixels = MAP_FAILED;
    std::size_t bytes = 0;
    QSize size;
    bool busy = false;

    ~Buffer()
    {
        if (pixels != MAP_FAILED)
            ::munmap(pixels, bytes);
    }
};

struct LayerEvents {
    static void configure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t, std::uint32_t)
    {
        auto* self = static_cast<LayerShellSurface*>(data);
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        const bool first = !self->m_configured;
        self->m_configured = true;
        if (first)
            self->draw();
    }
    static void closed(void* data, zwlr_layer_surface_v1*)
    {
        // The output went away: a new surface is made for the next picture.
        static_cast<LayerShellSurface*>(data)->destroy();
    }
    static void release(void* data, wl_buffer*)
    {
        auto* buffer = static_cast<LayerShellSurface::Buffer*>(data);
        buffer->busy = false;
        if (buffer->owner->m_drawPending)
            buffer->owner->draw();
    }
};

namespace {
const zwlr_layer_surface_v1_listener kLayerListener = {&LayerEvents::configure, &LayerEvents::closed};
const wl_buffer_listener kBufferListener = {&LayerEvents::release};
// Buffers kept at most: one shown, one on its way, one being drawn.
constexpr std::size_t kMaxBuffers = 3;
} // namespace

LayerShellSurface::LayerShellSurface(WaylandConnection& connection, QByteArray scope)
    : m_connection(connection)
    , m_scope(std::move(scope))
{
}

LayerShellSurface::~LayerShellSurface()
{
    destroy();
}

bool LayerShellSurface::isAvailable() const
{
    const Globals& globals = m_connection.globals();
    return m_connection.isConnected() && globals.layerShell && globals.compositor && globals.shm;
}

void LayerShellSurface::show(const QImage& image, std::uint32_t anchors, const QMargins& margins)
{
    if (!isAvailable() || image.isNull())
        return;
    m_image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_anchors = anchors;
    m_margins = margins;
    if (!m_layer)
        create();
    else if (m_configured)
        draw();
}

void LayerShellSurface::create()
{
    const Globals& globals = m_connection.globals();
    m_surface = wl_compositor_create_surface(globals.compositor);
    // Clicks go through to whatever lies below.
    wl_region* empty = wl_compositor_create_region(globals.compositor);
    wl_surface_set_input_region(m_surface, empty);
    wl_region_destroy(empty);
    m_layer = zwlr_layer_shell_v1_get_layer_surface(globals.layerShell, m_surface, nullptr,
                                                    ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, m_scope.constData());
    zwlr_layer_surface_v1_add_listener(m_layer, &kLayerListener, this);
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layer, 0);
    static_assert(OverlayAnchor::Top == ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP
                  && OverlayAnchor::Bottom == ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM
                  && OverlayAnchor::Left == ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT
                  && OverlayAnchor::Right == ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    // Placed by our margins alone, not pushed aside by panels.
    zwlr_layer_surface_v1_set_exclusive_zone(m_layer, -1);
    m_size = m_image.size();
    zwlr_layer_surface_v1_set_size(m_layer, static_cast<std::uint32_t>(m_size.width()),
                                   static_cast<std::uint32_t>(m_size.height()));
    m_sentAnchors = ~0u;
    m_sentMargins = QMargins(-1, -1, -1, -1);
    zwlr_layer_surface_v1_set_anchor(m_layer, m_anchors);
    zwlr_layer_surface_v1_set_margin(m_layer, m_margins.top(), m_margins.right(), m_margins.bottom(), m_margins.left());
    m_sentAnchors = m_anchors;
    m_sentMargins = m_margins;
    // The first commit carries no buffer; the configure answer allows one.
    wl_surface_commit(m_surface);
    m_connection.flush();
}

void LayerShellSurface::destroy()
{
    if (m_layer)
        zwlr_layer_surface_v1_destroy(m_layer);
    if (m_surface)
        wl_surface_destroy(m_surface);
    m_layer = nullptr;
    m_surface = nullptr;
    m_configured = false;
    m_mapped = false;
    m_buffers.clear();
}

void LayerShellSurface::draw()
{
    if (!m_layer || !m_configured || m_image.isNull())
        return;
    Buffer* buffer = freeBuffer(m_image.size());
    // All busy: the picture goes out when the compositor releases one.
    m_drawPending = buffer == nullptr;
    if (!buffer)
        return;
    for (int row = 0; row < m_image.height(); ++row)
        std::memcpy(static_cast<char*>(buffer->pixels) + static_cast<std::size_t>(row) * m_image.width() * 4,
                    m_image.constScanLine(row), static_cast<std::size_t>(m_image.width()) * 4);
    if (m_image.size() != m_size) {
        m_size = m_image.size();
        zwlr_layer_surface_v1_set_size(m_layer, static_cast<std::uint32_t>(m_size.width()),
                                       static_cast<std::uint32_t>(m_size.height()));
    }
    if (m_anchors != m_sentAnchors) {
        zwlr_layer_surface_v1_set_anchor(m_layer, m_anchors);
        m_sentAnchors = m_anchors;
    }
    if (m_margins != m_sentMargins) {
        zwlr_layer_surface_v1_set_margin(m_layer, m_margins.top(), m_margins.right(), m_margins.bottom(),
                                         m_margins.left());
        m_sentMargins = m_margins;
    }
    wl_surface_attach(m_surface, buffer->buffer.get(), 0, 0);
    wl_surface_damage_buffer(m_surface, 0, 0, m_size.width(), m_size.height());
    wl_surface_commit(m_surface);
    buffer->busy = true;
    m_mapped = true;
    m_connection.flush();
}

LayerShellSurface::Buffer* LayerShellSurface::freeBuffer(const QSize& size)
{
    std::erase_if(m_buffers, [&size](const auto& buffer) { return !buffer->busy && buffer->size != size; });
    for (const auto& buffer : m_buffers) {
        if (!buffer->busy)
            return buffer.get();
    }
    if (m_buffers.size() >= kMaxBuffers)
        return nullptr;
    const int stride = size.width() * 4;
    const auto bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(size.height());
    const FileDescriptor file(memfd_create("velnor-indicator", MFD_CLOEXEC));
    if (file.fd < 0 || ::ftruncate(file.fd, static_cast<off_t>(bytes)) != 0)
        return nullptr;
    auto buffer = std::make_unique<Buffer>();
    buffer->owner = this;
    buffer->pixels = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, file.fd, 0);
    if (buffer->pixels == MAP_FAILED)
        return nullptr;
    buffer->bytes = bytes;
    buffer->size = size;
    wl_shm_pool* pool = wl_shm_create_pool(m_connection.globals().shm, file.fd, static_cast<std::int32_t>(bytes));
    // Premultiplied ARGB32 in memory order is the protocol's ARGB8888.
    buffer->buffer.reset(
        wl_shm_pool_create_buffer(pool, 0, size.width(), size.height(), stride, WL_SHM_FORMAT_ARGB8888));
    wl_shm_pool_destroy(pool);
    wl_buffer_add_listener(buffer->buffer.get(), &kBufferListener, buffer.get());
    m_buffers.push_back(std::move(buffer));
    return m_buffers.back().get();
}

} // namespace velnor::wayland
