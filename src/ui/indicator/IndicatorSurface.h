#pragma once

#include <QRect>

namespace velnor {

struct IndicatorScene;

// The window the indicator is drawn in: a frameless, click-through,
// never-focused overlay on every desktop. The controller decides what it
// shows and where; the surface only does it.
class IndicatorSurface {
public:
    IndicatorSurface() = default;
    virtual ~IndicatorSurface() = default;
    IndicatorSurface(const IndicatorSurface&) = delete;
    IndicatorSurface& operator=(const IndicatorSurface&) = delete;

    virtual QRect frame() const = 0;
    virtual void setFrame(const QRect& frame) = 0;
    // Shows this frame's drawing (copied; painted on the next repaint).
    virtual void present(const IndicatorScene& scene) = 0;
    // Shows the window and raises it above other windows without taking focus;
    // `forced` also repaints at once (for full-screen editors).
    virtual void bringToFront(bool forced) = 0;
    // Whether a compositor can blend the window with what lies below it.
    virtual bool isComposited() const = 0;
};

} // namespace velnor
