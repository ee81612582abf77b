#pragma once

#include <QString>

#include <source_location>

namespace velnor {

// Where a log call was made: file name (last path component), line and the
// bare function name followed by "()".
struct CallSite {
    QString file;
    int line = 0;
    QString function;

    static CallSite from(const std::source_location& location);
};

} // namespace velnor
