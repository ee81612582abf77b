#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velnor::test {

TempDir::TempDir() = default;

QString TempDir::writeFile(const QString& name, const QByteArray& content) const
{
    const QString path = filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

QByteArray TempDir::readFile(const QString& name) const
{
    QFile file(QFileInfo(name).isAbsolute() ? name : filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace velnor::test
