#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace velnor {

// Appends bytes to a file, creating it when missing. Opens and closes the
// file on every call, so another process may rotate or delete it at will.
// Returns the error text on failure.
std::optional<QString> appendToFile(const QString& path, const QByteArray& bytes);

} // namespace velnor
