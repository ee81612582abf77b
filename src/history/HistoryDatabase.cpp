#include "history/HistoryDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace velnor {

namespace {

const QString kColumns = QStringLiteral(
    "id, started_at, mode, app_name, bundle_id, duration, recording_path, recognized_text, "
    "corrected_text, insertion_method, outcome, error_text, out_language, over_over");

HistoryEntry entryFrom(const QSqlQuery& query)
{
    HistoryEntry entry;
    entry.id = query.value(0).toString();
    entry.startedAt = QDateTime::fromMSecsSinceEpoch(query.value(1).toLongLong(), Qt::UTC);
    entry.mode = query.value(2).toString();
    entry.appName = query.value(3).toString();
    entry.bundleId = query.value(4).toString();
    entry.durationSeconds = query.value(5).toDouble();
    entry.recordingPath = query.value(6).toString();
    entry.recognizedText = query.value(7).toString();
    entry.correctedText = query.value(8).toString();
    entry.insertionMethod = query.value(9).toString();
    entry.outcome = historyOutcomeFromName(query.value(10).toString());
    entry.errorText = query.value(11).toString();
    if (!query.value(12).isNull())
        entry.outLanguage = query.value(12).toString();
    entry.overOver = query.value(13).toBool();
    return entry;
}

// LIKE treats % and _ as wildcards; a search for "50%" means those characters.
QString likePattern(const QString& search)
{
    QString escaped = search;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

} // namespace

QString historyOutcomeName(HistoryOutcome outcome)
{
    switch (outcome) {
    case HistoryOutcome::Recording:
        return QStringLiteral("recording");
    case HistoryOutcome::Recognizing:
        return QStringLiteral("recognizing");
    case HistoryOutcome::Delivered:
        return QStringLiteral("delivered");
    case HistoryOutcome::Failed:
        break;
    case HistoryOutcome::Cancelled:
        return QStringLiteral("cancelled");
    }
    return QStringLiteral("failed");
}

HistoryOutcome historyOutcomeFromName(const QString& name)
{
    for (const auto outcome : {HistoryOutcome::Recording, HistoryOutcome::Recognizing, HistoryOutcome::Delivered,
                               HistoryOutcome::Cancelled}) {
        if (historyOutcomeName(outcome) == name)
            return outcome;
    }
    return HistoryOutcome::Failed;
}

HistoryDatabase::HistoryDatabase(QString path)
    : m_path(std::move(path))
    , m_connectionName(QStringLiteral("velnor-history-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

HistoryDatabase::~HistoryDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::optional<QString> HistoryDatabase::open()
{
    const QFileInfo info(m_path);
    const QString folder = info.absolutePath();
    if (!QDir(folder).exists()) {
        if (!QDir().mkpath(folder))
            return QStringLiteral("无法创建历史记录目录: ") + folder;
        // Our own folder: nobody else lists what was dictated.
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    // Created by us with the final mode, so the file never exists readable by
    // others; SQLite gives its WAL and shared-memory files the same mode.
    if (!info.exists()) {
        QFile file(m_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly))
            return QStringLiteral("无法创建历史记录文件: ") + file.errorString();
    }
    QFile::setPermissions(m_path, ownerOnly);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_path);
    if (!db.open())
        return QStringLiteral("无法打开历史记录数据库: ") + db.lastError().text();
    m_open = exec(QStringLiteral("PRAGMA journal_mode=WAL")) && exec(QStringLiteral("PRAGMA synchronous=NORMAL"))
        && exec(QStringLiteral("CREATE TABLE IF NOT EXISTS history ("
                               "id TEXT PRIMARY KEY, started_at INTEGER NOT NULL, mode TEXT NOT NULL, "
                               "app_name TEXT, bundle_id TEXT, duration REAL, recording_path TEXT, "
                               "recognized_text TEXT, corrected_text TEXT, insertion_method TEXT, "
                               "outcome TEXT NOT NULL, error_text TEXT, out_language TEXT, over_over INTEGER)"))
        && addMissingColumn(QStringLiteral("out_language"), QStringLiteral("TEXT"))
        && addMissingColumn(QStringLiteral("over_over"), QStringLiteral("INTEGER"))
        && exec(QStringLiteral("CREATE INDEX IF NOT EXISTS history_started ON history(started_at)"));
    if (!m_open)
        return m_lastError;
    return std::nullopt;
}

bool HistoryDatabase::addMissingColumn(const QString& name, const QString& type)
{
    // Files from before a column existed gain it; their rows read it as empty.
    QSqlQuery columns(QSqlDatabase::database(m_connectionName, false));
    if (!columns.exec(QStringLiteral("PRAGMA table_info(history)"))) {
        fail(QStringLiteral("table_info"), columns.lastError().text());
        return false;
    }
    while (columns.next()) {
        if (columns.value(1).toString() == name)
            return true;
    }
    return exec(QStringLiteral("ALTER TABLE history ADD COLUMN %1 %2").arg(name, type));
}

bool HistoryDatabase::exec(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (query.exec(sql))
        return true;
    fail(sql, query.lastError().text());
    return false;
}

void HistoryDatabase::fail(const QString& what, const QString& error)
{
    m_lastError = QStringLiteral("历史记录数据库错误 (%1): %2").arg(what.section(QLatin1Char(' '), 0, 1), error);
}

bool HistoryDatabase::upsert(const HistoryEntry& entry)
{
    if (!m_open)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO history (") + kColumns
                  + QStringLiteral(") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(entry.id);
    query.addBindValue(entry.startedAt.toMSecsSinceEpoch());
    query.addBindValue(entry.mode);
    query.addBindValue(entry.appName);
    query.addBindValue(entry.bundleId);
    query.addBindValue(entry.durationSeconds);
    query.addBindValue(entry.recordingPath);
    query.addBindValue(entry.recognizedText);
    query.addBindValue(entry.correctedText);
    query.addBindValue(entry.insertionMethod);
    query.addBindValue(historyOutcomeName(entry.outcome));
    query.addBindValue(entry.errorText);
    query.addBindValue(entry.outLanguage ? QVariant(*entry.outLanguage) : QVariant(QMetaType(QMetaType::QString)));
    query.addBindValue(entry.overOver);
    if (query.exec())
        return true;
    fail(QStringLiteral("upsert"), query.lastError().text());
    return false;
}

std::optional<HistoryEntry> HistoryDatabase::find(const QString& id)
{
    if (!m_open)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM history WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec()) {
        fail(QStringLiteral("find"), query.lastError().text());
        return std::nullopt;
    }
    if (!query.next())
        return std::nullopt;
    return entryFrom(query);
}

QList<HistoryEntry> HistoryDatabase::list(const QString& search, int limit)
{
    QList<HistoryEntry> entries;
    if (!m_open)
        return entries;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    QString sql = QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM history");
    if (!search.isEmpty())
        sql += QStringLiteral(" WHERE recognized_text LIKE ? ESCAPE '\\' OR corrected_text LIKE ? ESCAPE '\\'"
                              " OR app_name LIKE ? ESCAPE '\\'");
    sql += QStringLiteral(" ORDER BY started_at DESC, rowid DESC LIMIT %1").arg(std::max(0, limit));
    query.prepare(sql);
    if (!search.isEmpty()) {
        for (int column = 0; column < 3; ++column)
            query.addBindValue(likePattern(search));
    }
    if (!query.exec()) {
        fail(QStringLiteral("list"), query.lastError().text());
        return entries;
    }
    while (query.next())
        entries.append(entryFrom(query));
    return entries;
}

bool HistoryDatabase::remove(const QString& id)
{
    if (!m_open)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("DELETE FROM history WHERE id = ?"));
    query.addBindValue(id);
    if (query.exec())
        return true;
    fail(QStringLiteral("remove"), query.lastError().text());
    return false;
}

bool HistoryDatabase::removeAll()
{
    return m_open && exec(QStringLiteral("DELETE FROM history"));
}

QStringList HistoryDatabase::failUnfinished(const QString& errorText)
{
    QStringList ids;
    if (!m_open)
        return ids;
    QSqlQuery select(QSqlDatabase::database(m_connectionName, false));
    if (!select.exec(QStringLiteral("SELECT id FROM history WHERE outcome IN ('recording', 'recognizing')"))) {
        fail(QStringLiteral("recover"), select.lastError().text());
        return ids;
    }
    while (select.next())
        ids.append(select.value(0).toString());
    QSqlQuery update(QSqlDatabase::database(m_connectionName, false));
    update.prepare(QStringLiteral(
        "UPDATE history SET outcome = 'failed', error_text = ? WHERE outcome IN ('recording', 'recognizing')"));
    update.addBindValue(errorText);
    if (!update.exec()) {
        fail(QStringLiteral("recover"), update.lastError().text());
        return {};
    }
    return ids;
}

QList<HistoryEntry> HistoryDatabase::startedBefore(const QDateTime& cutoff)
{
    QList<HistoryEntry> entries;
    if (!m_open)
        return entries;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT ") + kColumns
                  + QStringLiteral(" FROM history WHERE started_at < ? ORDER BY started_at, rowid"));
    query.addBindValue(cutoff.toMSecsSinceEpoch());
    if (!query.exec()) {
        fail(QStringLiteral("prune"), query.lastError().text());
        return entries;
    }
    while (query.next())
        entries.append(entryFrom(query));
    return entries;
}

QStringList HistoryDatabase::column(const QString& what, const QString& sql, const QVariant& value)
{
    QStringList values;
    if (!m_open)
        return values;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(sql);
    if (value.isValid())
        query.addBindValue(value);
    if (!query.exec()) {
        fail(what, query.lastError().text());
        return values;
    }
    while (query.next())
        values.append(query.value(0).toString());
    return values;
}

bool HistoryDatabase::refersTo(const QString& recordingPath)
{
    // When the question cannot be answered the recording counts as needed:
    // a file kept too long is better than speech deleted.
    if (!m_open)
        return true;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT 1 FROM history WHERE recording_path = ? LIMIT 1"));
    query.addBindValue(recordingPath);
    if (!query.exec()) {
        fail(QStringLiteral("recording"), query.lastError().text());
        return true;
    }
    return query.next();
}

QStringList HistoryDatabase::recordings()
{
    return column(QStringLiteral("recordings"),
                  QStringLiteral("SELECT DISTINCT recording_path FROM history WHERE recording_path != ''"));
}

QStringList HistoryDatabase::undeliveredRecordings()
{
    return column(QStringLiteral("pinned"), QStringLiteral("SELECT recording_path FROM history "
                                                           "WHERE outcome != 'delivered' AND recording_path != ''"));
}

} // namespace velnor
