#include "log/LogFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velnor {

std::optional<QString> appendToFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return file.errorString();
    if (file.write(bytes) != bytes.size())
        return file.errorString();
    return std::nullopt;
}

BufferedLogFile::BufferedLogFile(bool createFolder)
    : m_createFolder(createFolder)
{
}

std::optional<QString> BufferedLogFile::append(const QString& path, const QByteArray& line)
{
    std::optional<QString> failure;
    if (path != m_path)
        failure = write();
    m_path = path;
    m_held += line;
    if (m_held.size() >= kMaxHeldBytes && !failure)
        failure = write();
    return failure;
}

std::optional<QString> BufferedLogFile::write()
{
    if (m_held.isEmpty())
        return std::nullopt;
    const QByteArray bytes = std::exchange(m_held, QByteArray());
    if (m_createFolder)
        QDir().mkpath(QFileInfo(m_path).path());
    return appendToFile(m_path, bytes);
}

} // namespace velnor
