#pragma once

#include <QString>

namespace velnor {

// Whether a session token may go into the "Authorization" header as it is.
// A control character (CR and LF above all) would let the token end the
// header line and add fields of its own to every request.
bool isHeaderSafeToken(const QString& token);

} // namespace velnor
