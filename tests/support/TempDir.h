#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace velnor::test {

// A fresh directory removed after the test, with small file helpers.
class TempDir final {
public:
    TempDir();

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    QString writeFile(const QString& name, const QByteArray& content) const;
    QByteArray readFile(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

} // namespace velnor::test
