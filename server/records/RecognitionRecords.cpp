#include "records/RecognitionRecords.h"

#include "storage/Database.h"

#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <algorithm>

namespace velnor::server {

namespace {

QVariant nullable(const std::optional<qint64>& value)
{
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::LongLong));
}

// A null QString would be stored as NULL; an empty text is still a text.
QVariant text(const QString& value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

// Drops the user's records beyond the newest `keep`.
bool trimUser(QSqlDatabase& db, qint64 userId, int keep)
{
    QSqlQuery trim(db);
    trim.prepare(QStringLiteral(
        "DELETE FROM records WHERE user_id = ? AND rowid IN (SELECT rowid FROM records WHERE user_id = ?"
        " ORDER BY created_at DESC, rowid DESC LIMIT -1 OFFSET ?)"));
    trim.addBindValue(userId);
    trim.addBindValue(userId);
    trim.addBindValue(keep);
    return trim.exec();
}

} // namespace

RecognitionRecords::RecognitionRecords(Database& database, const Clock& clock, RecordLimits limits)
    : m_database(database)
    , m_clock(clock)
    , m_limits(limits)
{
}

// At most the length limit, never half a surrogate pair.
QString RecognitionRecords::storedText(const QString& value) const
{
    qsizetype length = std::min(value.size(), m_limits.maxTextLength);
    if (length < value.size() && length > 0 && value.at(length - 1).isHighSurrogate())
        --length;
    return value.left(length);
}

std::optional<QString> RecognitionRecords::add(RecognitionRecord record, qint64 words)
{
    record.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record.rawText = storedText(record.rawText);
    record.text = storedText(record.text);
    const bool ok = m_database.write([&](QSqlDatabase& db) {
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral(
            "INSERT INTO records(id, user_id, kind, created_at, raw_text, text, app_id, app_name, os_type,"
            " out_language, over_over, audio_ms) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const QVariant& value :
             {QVariant(record.id), nullable(record.userId), text(record.kind), QVariant(m_clock.nowMs()),
              text(record.rawText), text(record.text), text(record.appId), text(record.appName),
              text(record.osType), text(record.outLanguage), QVariant(record.overOver ? 1 : 0),
              QVariant(record.audioMs)})
            insert.addBindValue(value);
        if (!insert.exec())
            return false;
        if (!record.userId)
            return true;
        if (!trimUser(db, *record.userId, m_limits.maxRecordsPerUser))
            return false;
        if (words <= 0)
            return true;
        QSqlQuery credit(db);
        credit.prepare(QStringLiteral("UPDATE users SET words_total = words_total + ? WHERE id = ?"));
        credit.addBindValue(words);
        credit.addBindValue(*record.userId);
        return credit.exec();
    });
    return ok ? std::optional<QString>(record.id) : std::nullopt;
}

RecognitionRecords::Status RecognitionRecords::update(const QString& id, std::optional<qint64> callerId,
                                                      const RecordUpdate& change)
{
    Status status = Status::StorageError;
    const bool ok = m_database.write([&](QSqlDatabase& db) {
        QSqlQuery owner(db);
        owner.prepare(QStringLiteral("SELECT user_id FROM records WHERE id = ?"));
        owner.addBindValue(id);
        if (!owner.exec())
            return false;
        if (!owner.next() || (!owner.value(0).isNull() && (!callerId || owner.value(0).toLongLong() != *callerId))) {
            status = Status::NotFound;
            return true;
        }
        QSqlQuery update(db);
        update.prepare(QStringLiteral(
            "UPDATE records SET text_input_method = COALESCE(?, text_input_method), app_id = COALESCE(?, app_id),"
            " app_name = COALESCE(?, app_name), os_type = COALESCE(?, os_type), updated_at = ? WHERE id = ?"));
        for (const std::optional<QString>& field : {change.textInputMethod, change.appId, change.appName, change.osType})
            update.addBindValue(field ? text(*field) : QVariant(QMetaType(QMetaType::QString)));
        update.addBindValue(m_clock.nowMs());
        update.addBindValue(id);
        if (!update.exec())
            return false;
        status = Status::Ok;
        return true;
    });
    return ok ? status : Status::StorageError;
}

std::optional<int> RecognitionRecords::prune(qint64 maxAgeMs)
{
    int deleted = 0;
    const bool ok = m_database.write([&](QSqlDatabase& db) {
        QSqlQuery erase(db);
        erase.prepare(QStringLiteral("DELETE FROM records WHERE created_at < ?"));
        erase.addBindValue(m_clock.nowMs() - maxAgeMs);
        if (!erase.exec())
            return false;
        deleted = erase.numRowsAffected();
        return true;
    });
    return ok ? std::optional<int>(deleted) : std::nullopt;
}

std::optional<RecognitionRecord> RecognitionRecords::find(const QString& id)
{
    QSqlQuery query(m_database.connection());
    query.prepare(QStringLiteral(
        "SELECT kind, user_id, raw_text, text, app_id, app_name, os_type, out_language, over_over, audio_ms,"
        " text_input_method FROM records WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next())
        return std::nullopt;
    RecognitionRecord record;
    record.id = id;
    record.kind = query.value(0).toString();
    if (!query.value(1).isNull())
        record.userId = query.value(1).toLongLong();
    record.rawText = query.value(2).toString();
    record.text = query.value(3).toString();
    record.appId = query.value(4).toString();
    record.appName = query.value(5).toString();
    record.osType = query.value(6).toString();
    record.outLanguage = query.value(7).toString();
    record.overOver = query.value(8).toInt() != 0;
    record.audioMs = query.value(9).toLongLong();
    record.textInputMethod = query.value(10).toString();
    return record;
}

} // namespace velnor::server
