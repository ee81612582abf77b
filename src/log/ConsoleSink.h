#pragma once

#include <QString>

#include <functional>

namespace velnor {

// Where "print to standard output" goes; tests capture or silence it.
using ConsoleSink = std::function<void(const QString& line)>;

ConsoleSink standardOutputSink();
ConsoleSink silentSink();

} // namespace velnor
