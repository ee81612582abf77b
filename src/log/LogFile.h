#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace velnor {

// Appends bytes to a file, creating it when missing. Opens and closes the
// file on every call, so another process may rotate or delete it at will.
// Returns the error text on failure.
std::optional<QString> appendToFile(const QString& path, const QByteArray& bytes);

// The lines of one burst of logging, appended to their file in one go (one
// open, write and close) instead of line by line. A log writes at the end of
// each burst, after an error line and before it is destroyed, so no more is
// at risk in a crash than the lines still waiting in its queue.
class BufferedLogFile final {
public:
    // `createFolder`: make the file's folder first when it is missing.
    explicit BufferedLogFile(bool createFolder);

    // Writes what is held for another file first; returns the error text
    // when that write failed.
    std::optional<QString> append(const QString& path, const QByteArray& line);
    // Writes everything held; returns the error text on failure.
    std::optional<QString> write();

private:
    static constexpr qsizetype kMaxHeldBytes = 64 * 1024;

    const bool m_createFolder;
    QString m_path;
    QByteArray m_held;
};

} // namespace velnor
