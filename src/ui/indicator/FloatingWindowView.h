#pragma once

#include "ui/indicator/IndicatorScene.h"
#include "ui/indicator/IndicatorSurface.h"

#include <QWidget>

namespace velnor {

class OverlayWindows;

// The indicator's window: frameless, always on top, on every desktop, never
// focused and transparent to the mouse. Without a compositor its rounded
// outline is a shape mask, since nothing could blend translucent pixels.
class FloatingWindowView final : public QWidget, public IndicatorSurface {
    Q_OBJECT
public:
    // `overlay` may be null (no window-system hints, no compositor assumed).
    explicit FloatingWindowView(OverlayWindows* overlay);

    QRect frame() const override { return geometry(); }
    void setFrame(const QRect& frame) override;
    void present(const IndicatorScene& scene) override;
    void bringToFront(bool forced) override;
    bool isComposited() const override { return m_composited; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateMask();

    OverlayWindows* m_overlay;
    bool m_composited;
    bool m_pinned = false;
    IndicatorScene m_scene;
    QSize m_maskSize;
    int m_maskRadius = -1;
};

} // namespace velnor
