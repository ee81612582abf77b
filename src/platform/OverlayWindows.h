#pragma once

#include <QtGlobal>

namespace velnor {

// What the window system offers a floating overlay (the dictation indicator):
// compositing, and keeping a window on every desktop above ordinary windows.
class OverlayWindows {
public:
    OverlayWindows() = default;
    virtual ~OverlayWindows() = default;
    OverlayWindows(const OverlayWindows&) = delete;
    OverlayWindows& operator=(const OverlayWindows&) = delete;

    virtual bool isAvailable() const = 0;
    // Whether translucent windows are blended with what lies below them.
    virtual bool hasCompositor() const = 0;
    // Keeps a shown window on all desktops, above other windows and out of
    // task bars and pagers.
    virtual void pinToAllDesktops(quintptr windowId) = 0;
};

} // namespace velnor
