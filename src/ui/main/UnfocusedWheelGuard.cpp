#include "ui/main/UnfocusedWheelGuard.h"

#include <QEvent>
#include <QWidget>

namespace velnor {

UnfocusedWheelGuard::UnfocusedWheelGuard(QObject* parent)
    : QObject(parent)
{
}

void UnfocusedWheelGuard::guard(QWidget* control)
{
    // Qt::WheelFocus would hand the focus to the control at the first notch.
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
}

bool UnfocusedWheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    const auto* control = qobject_cast<QWidget*>(watched);
    if (!control || control->hasFocus())
        return false;
    // Ignored and filtered: Qt hands the event to the parents, so the page scrolls.
    event->ignore();
    return true;
}

} // namespace velnor
