#pragma once

#include "ui/common/Icons.h"

#include <QString>

class QLabel;
class QVBoxLayout;
class QWidget;

namespace velnor::PageParts {

// Grey small print under a control.
QLabel* caption(const QString& text);
// A list's placeholder: a large grey glyph, the title (owned by the caller,
// who may change it) and a hint.
QWidget* emptyState(Icons::Glyph glyph, QLabel* title, const QString& hint);
// Removes a rebuilt list's rows; deleted later, as the rebuild may run inside
// one of their own clicks.
void clearRows(QVBoxLayout* rows);

} // namespace velnor::PageParts
