#pragma once

#include <QMutex>
#include <QSqlDatabase>
#include <QString>
#include <QHash>

#include <functional>
#include <memory>

namespace velnor::server {

// The server's SQLite file (WAL mode). Request handlers run on several
// threads; each thread gets its own connection, and writers wait for each
// other through SQLite's busy timeout.
class Database final {
public:
    static constexpr const char* kFileName = "velnor.db";

    // Creates the directory and the schema when needed. None (with *error) on failure.
    static std::unique_ptr<Database> open(const QString& directory, QString* error);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QString filePath() const { return m_path; }

    // This thread's connection (opened on first use).
    QSqlDatabase connection();

    // Runs `work` inside BEGIN IMMEDIATE ... COMMIT; rolls back when it returns false
    // or a statement fails. Returns what `work` returned (false on a storage failure).
    bool write(const std::function<bool(QSqlDatabase&)>& work);

    // A value kept in the meta table; when absent, `makeValue()` is stored and returned.
    // Empty when the database cannot be written.
    QByteArray metaValue(const QString& key, const std::function<QByteArray()>& makeValue);

private:
    explicit Database(QString path);
    bool createSchema(QString* error);

    QString m_path;
    QString m_prefix;
    QMutex m_mutex;
    QHash<Qt::HANDLE, QString> m_connections;   // connection name by thread
    int m_created = 0;
};

} // namespace velnor::server
