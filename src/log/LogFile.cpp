#include "log/LogFile.h"

#include <QFile>

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

} // namespace velnor
