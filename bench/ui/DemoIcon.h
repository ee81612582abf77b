#pragma once

#include <QImage>

namespace velnor {

// A stand-in front-application icon for demos: a note pad drawn here.
QImage drawDemoIcon(int side);

} // namespace velnor
