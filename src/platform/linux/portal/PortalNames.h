#pragma once

#include <QString>

namespace velnor::portal {

// Where the desktop portal lives on the session bus.
inline const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

} // namespace velnor::portal
