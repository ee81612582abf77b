#pragma once

#include <QObject>

class QWidget;

namespace velnor {

// Keeps the mouse wheel from changing a setting the user only scrolled past:
// a guarded control without the keyboard focus passes wheel events on to the
// page (which scrolls) instead of stepping its value. Clicking or tabbing
// into the control gives it the focus, and the wheel works there again.
class UnfocusedWheelGuard final : public QObject {
    Q_OBJECT
public:
    explicit UnfocusedWheelGuard(QObject* parent = nullptr);

    // Guards `control`; it no longer takes the focus from the wheel alone.
    void guard(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace velnor
