#pragma once

#include <QString>

namespace velnor::Theme {

// The style sheet of the main window and the onboarding. Object names used:
// "sidebar", "card", "cardTitle", "caption", "pageTitle", "primary", "danger",
// "menuItem", "link".
QString styleSheet();

} // namespace velnor::Theme
