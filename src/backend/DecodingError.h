#pragma once

#include <QString>

namespace velnor {

// Why a JSON body or value did not decode into the expected shape.
struct DecodingError {
    enum class Kind { DataCorrupted, KeyNotFound, ValueNotFound, TypeMismatch };

    Kind kind = Kind::DataCorrupted;
    QString path;             // e.g. "data.vip2.status"; empty at the top
    QString debugDescription; // what exactly did not fit

    // The short, user-facing text.
    QString description() const;
    // The full form for logs: kind, path and debug description.
    QString printed() const;
};

} // namespace velnor
