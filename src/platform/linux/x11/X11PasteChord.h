#pragma once

#include "platform/Pasteboard.h"

namespace velnor::x11 {

// The paste chord for a window class (WM_CLASS): Ctrl+V in ordinary
// applications, Ctrl+Shift+V in terminal emulators (Ctrl+V is a control
// character there), Shift+Insert in xterm and rxvt, which paste the primary
// selection only with that chord.
PasteChord pasteChordForWindowClass(const QString& windowClass);

} // namespace velnor::x11
