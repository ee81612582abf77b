#include "storage/Database.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>
#include <QVariant>

namespace velnor::server {

namespace {

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value BLOB NOT NULL)",
    "CREATE TABLE IF NOT EXISTS users("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " phone TEXT NOT NULL UNIQUE,"
    " created_at INTEGER NOT NULL,"
    " last_login INTEGER,"
    " words_total INTEGER NOT NULL DEFAULT 0,"
    " invite_code TEXT NOT NULL UNIQUE,"
    " invited_by INTEGER REFERENCES users(id),"
    " total_invites INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS sms_codes("
    " phone TEXT PRIMARY KEY,"
    " code TEXT NOT NULL,"
    " issued_at INTEGER NOT NULL,"
    " expires_at INTEGER NOT NULL,"
    " failed_attempts INTEGER NOT NULL DEFAULT 0,"
    " used INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS hot_words("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " user_id INTEGER NOT NULL REFERENCES users(id),"
    " text TEXT NOT NULL,"
    " weight INTEGER NOT NULL,"
    " UNIQUE(user_id, text))",
    "CREATE TABLE IF NOT EXISTS records("
    " id TEXT PRIMARY KEY,"
    " user_id INTEGER,"
    " kind TEXT NOT NULL,"
    " created_at INTEGER NOT NULL,"
    " raw_text TEXT NOT NULL,"
    " text TEXT NOT NULL,"
    " app_id TEXT, app_name TEXT, os_type TEXT, out_language TEXT,"
    " over_over INTEGER NOT NULL DEFAULT 0,"
    " audio_ms INTEGER,"
    " text_input_method TEXT,"
    " updated_at INTEGER)",
};

bool exec(QSqlDatabase& db, const QString& sql, QString* error = nullptr)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

} // namespace

std::unique_ptr<Database> Database::open(const QString& directory, QString* error)
{
    if (!QDir().mkpath(directory)) {
        if (error)
            *error = QStringLiteral("cannot create data directory %1").arg(directory);
        return nullptr;
    }
    std::unique_ptr<Database> database(new Database(QDir(directory).filePath(QLatin1String(kFileName))));
    if (!database->createSchema(error))
        return nullptr;
    return database;
}

Database::Database(QString path)
    : m_path(std::move(path))
    , m_prefix(QStringLiteral("velnor-") + QUuid::createUuid().toString(QUuid::Id128) + QLatin1Char('-'))
{
}

Database::~Database()
{
    // Called once no handler runs any more.
    for (const QString& name : std::as_const(m_connections)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
}

QSqlDatabase Database::connection()
{
    const Qt::HANDLE thread = QThread::currentThreadId();
    QMutexLocker lock(&m_mutex);
    const auto found = m_connections.constFind(thread);
    if (found != m_connections.constEnd()) {
        QSqlDatabase existing = QSqlDatabase::database(*found, false);
        if (existing.isValid())
            return existing;
        // A thread that ended left its connection behind under a reused thread id.
        QSqlDatabase::removeDatabase(*found);
    }
    const QString name = m_prefix + QString::number(++m_created);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(m_path);
    if (db.open()) {
        exec(db, QStringLiteral("PRAGMA busy_timeout=10000"));
        exec(db, QStringLiteral("PRAGMA foreign_keys=ON"));
        exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    m_connections.insert(thread, name);
    return db;
}

bool Database::createSchema(QString* error)
{
    QSqlDatabase db = connection();
    if (!db.isOpen()) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(m_path, db.lastError().text());
        return false;
    }
    QSqlQuery mode(db);
    if (!mode.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !mode.next()
        || mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        if (error)
            *error = QStringLiteral("cannot switch %1 to WAL mode").arg(m_path);
        return false;
    }
    for (const char* statement : kSchema) {
        QString reason;
        if (!exec(db, QString::fromLatin1(statement), &reason)) {
            if (error)
                *error = QStringLiteral("cannot create the schema of %1: %2").arg(m_path, reason);
            return false;
        }
    }
    return true;
}

bool Database::write(const std::function<bool(QSqlDatabase&)>& work)
{
    QSqlDatabase db = connection();
    if (!db.isOpen() || !exec(db, QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    const bool ok = work(db);
    if (ok && exec(db, QStringLiteral("COMMIT")))
        return true;
    exec(db, QStringLiteral("ROLLBACK"));
    return false;
}

QByteArray Database::metaValue(const QString& key, const std::function<QByteArray()>& makeValue)
{
    QByteArray value;
    const bool stored = write([&](QSqlDatabase& db) {
        QSqlQuery select(db);
        select.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
        select.addBindValue(key);
        if (!select.exec())
            return false;
        if (select.next()) {
            value = select.value(0).toByteArray();
            return true;
        }
        value = makeValue();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO meta(key, value) VALUES(?, ?)"));
        insert.addBindValue(key);
        insert.addBindValue(value);
        return insert.exec();
    });
    return stored ? value : QByteArray();
}

} // namespace velnor::server
