#pragma once

#include <QString>

namespace velnor {

// "Characters" as a user sees them: extended grapheme clusters, so an emoji
// or a letter with combining marks counts once and is never split.
qsizetype graphemeCount(const QString& text);
QString firstGraphemes(const QString& text, qsizetype count);

} // namespace velnor
