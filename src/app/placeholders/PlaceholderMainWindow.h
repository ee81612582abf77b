#pragma once

#include <QWidget>

#include <memory>

namespace velnor {

// The main window's frame until its screens are part of the build.
std::unique_ptr<QWidget> makePlaceholderMainWindow();

} // namespace velnor
