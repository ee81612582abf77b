#pragma once

#include <QIcon>
#include <QImage>

namespace velnor {

// The tray icon, drawn here: a microphone in a rounded badge, readable on
// light and dark panels from 16 px up.
QImage paintTrayIcon(int size);
QIcon makeTrayIcon();

} // namespace velnor
