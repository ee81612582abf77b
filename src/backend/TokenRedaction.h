#pragma once

#include <QString>

namespace velnor {

// Hides the values of token-like JSON keys ("token", "jwt", …) in a text
// meant for the log, e.g. a login answer, before the token is known to the
// log's own redactor.
QString redactTokenValues(const QString& text);

} // namespace velnor
