#include "storage/Database.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
    // Earlier versions kept login codes in clear here.
    "DROP TABLE IF EXISTS sms_codes",
    "CREATE TABLE IF NOT EXISTS login_codes("
    " phone TEXT PRIMARY KEY,"
    " code_hash BLOB NOT NULL,"
    " issued_at INTEGER NOT NULL,"
    " expires_at INTEGER NOT NULL,"
    " failed_attempts INTEGER NOT NULL DEFAULT 0,"
    " used INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS login_guard("
    " phone TEXT PRIMARY KEY,"
    " window_start INTEGER NOT NULL,"
    " failures INTEGER NOT NULL,"
    " locked_until INTEGER NOT NULL DEFAULT 0,"
    " lockouts INTEGER NOT NULL DEFAULT 0,"
    " last_failure_at INTEGER NOT NULL)",
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
    "CREATE INDEX IF NOT EXISTS records_by_age ON records(created_at)",
    "CREATE INDEX IF NOT EXISTS records_by_user ON records(user_id, created_at)",
};

// The SQLite file and its companions; all are created owner-only before SQLite
// writes a byte, since the database holds the key that signs session tokens.
const char* const kFileSuffixes[] = {"", "-wal", "-shm"};

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Creates each missing folder of `directory` with mode 0700 and makes the
// data directory itself 0700 (an earlier version may have left it open).
bool makePrivateDirectory(const QString& directory, QString* error)
{
    const QString absolute = QDir(directory).absolutePath();
    QString path;
    for (const QString& part : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(path);
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            return fail(error, QStringLiteral("cannot create data directory %1: %2").arg(path, systemError()));
    }
    if (::chmod(QFile::encodeName(absolute).constData(), 0700) != 0)
        return fail(error, QStringLiteral("cannot make data directory %1 private: %2").arg(absolute, systemError()));
    return true;
}

bool makePrivateFile(const QString& path, QString* error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(error, QStringLiteral("cannot create %1: %2").arg(path, systemError()));
    // A file left by an earlier version may still be readable by others.
    if (::fchmod(fd, 0600) != 0) {
        const QString reason = systemError();
        ::close(fd);
        return fail(error, QStringLiteral("cannot make %1 private: %2").arg(path, reason));
    }
    ::close(fd);
    return true;
}

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
    if (!makePrivateDirectory(directory, error))
        return nullptr;
    const QString path = QDir(directory).filePath(QLatin1String(kFileName));
    for (const char* suffix : kFileSuffixes) {
        if (!makePrivateFile(path + QLatin1String(suffix), error))
            return nullptr;
    }
    std::unique_ptr<Database> database(new Database(path));
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
