#include "ui/indicator/FloatingWindowView.h"

#include "platform/OverlayWindows.h"
#include "ui/indicator/IndicatorGeometry.h"
#include "ui/indicator/IndicatorPainter.h"

#include <QPainter>

namespace velnor {

namespace {
// Reparenting window managers (openbox, and others) put a managed window in a
// frame of their own that still takes the clicks our empty input shape lets
// through; unmanaged, the window has no frame, never gets the focus, and
// stays on every desktop above full-screen windows while we re-raise it.
constexpr Qt::WindowFlags kIndicatorFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
    | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput | Qt::X11BypassWindowManagerHint;
} // namespace

FloatingWindowView::FloatingWindowView(OverlayWindows* overlay)
    : QWidget(nullptr, kIndicatorFlags)
    , m_overlay(overlay)
    , m_composited(overlay && overlay->isAvailable() && overlay->hasCompositor())
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    // Must be decided before the native window exists: it picks the visual.
    setAttribute(Qt::WA_TranslucentBackground, m_composited);
    setAttribute(Qt::WA_NoSystemBackground, true);
    setWindowTitle(QStringLiteral("Velnor"));
}

void FloatingWindowView::setFrame(const QRect& frame)
{
    if (geometry() != frame)
        setGeometry(frame);
}

void FloatingWindowView::present(const IndicatorScene& scene)
{
    m_scene = scene;
    updateMask();
    update();
}

void FloatingWindowView::updateMask()
{
    if (m_composited)
        return;
    const QSize size = m_scene.size.toSize();
    const int radius = qRound(m_scene.cornerRadius);
    if (size == m_maskSize && radius == m_maskRadius)
        return;
    m_maskSize = size;
    m_maskRadius = radius;
    setMask(roundedRegion(size, radius));
}

void FloatingWindowView::bringToFront(bool forced)
{
    if (!isVisible())
        show();
    if (!m_pinned && m_overlay && m_overlay->isAvailable()) {
        m_overlay->pinToAllDesktops(winId());
        m_pinned = true;
    }
    raise();
    if (forced)
        repaint();
}

void FloatingWindowView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintIndicator(painter, m_scene);
}

} // namespace velnor
