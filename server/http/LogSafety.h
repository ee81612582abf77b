#pragma once

#include <QString>
#include <QStringView>

namespace velnor::server {

// `text` with every control character (C0, DEL, C1, and the Unicode line and
// paragraph separators) written as \n, \r, \t or \xNN / \uNNNN, so a value
// from a request can never start a new log line or rewrite the terminal.
QString escapeControlCharacters(QStringView text);

// Every message of this process goes out as one line with its control characters escaped.
void installEscapingMessageHandler();

} // namespace velnor::server
