#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace velnor {

// The app's own logo and line icons, drawn with QPainter (no image files to
// ship or license). Every icon is drawn at twice its size for sharp edges.
namespace Icons {

enum class Glyph {
    Gauge,       // dashboard
    TextBubble,  // hot words
    Gear,        // settings
    Person,      // user area
    Refresh,
    Plus,
    Minus,
    Microphone,
    Shield,
    Keyboard,
    Window,
    Waveform,
    Info,
    Card,
    Warning,
    Check,
    ChevronDown,
    Clock, // history
};

// The rounded-square logo: a microphone whose sound waves open to the right.
QPixmap logo(int size);
QPixmap glyph(Glyph which, int size, const QColor& colour);
QIcon icon(Glyph which, const QColor& colour = QColor(0x4a, 0x55, 0x68));

} // namespace Icons
} // namespace velnor
