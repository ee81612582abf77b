#include "app/DisplayProbe.h"

#include <xcb/xcb.h>

namespace velnor {

std::optional<QString> x11DisplayProblem()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("no X11 display (DISPLAY is not set); start velnor inside an X11 session");
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const int error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (error != 0)
        return QStringLiteral("cannot open the X11 display %1 (error %2)").arg(display).arg(error);
    return std::nullopt;
}

} // namespace velnor
