#include "hotwords/HotWordStore.h"

#include "storage/Database.h"

#include <QSqlQuery>
#include <QTextBoundaryFinder>
#include <QVariant>

namespace velnor::server {

HotWordStore::HotWordStore(Database& database)
    : m_database(database)
{
}

QString HotWordStore::normalizedText(const QString& text)
{
    return text.trimmed();
}

namespace {

// User-perceived characters, as the app counts them when it cuts a typed hot
// word: an emoji ZWJ sequence, a flag or a letter with its marks is one.
qsizetype characterCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

// Format characters that only join or tag emoji; other invisible formatting
// (bidi overrides, byte-order marks) is refused.
bool isEmojiJoiner(uint codePoint)
{
    return codePoint == 0x200C || codePoint == 0x200D || (codePoint >= 0xE0020 && codePoint <= 0xE007F);
}

} // namespace

HotWordStore::Status HotWordStore::validate(const QString& text, int weight)
{
    // Code points first: one "character" can carry any number of combining marks.
    const QList<uint> codePoints = text.toUcs4();
    if (codePoints.size() > kMaxCodePoints)
        return Status::InvalidText;
    const qsizetype characters = characterCount(text);
    if (characters == 0 || characters > kMaxTextLength)
        return Status::InvalidText;
    for (const uint codePoint : codePoints) {
        const QChar::Category category = QChar::category(codePoint);
        if (category == QChar::Other_Control || (category == QChar::Other_Format && !isEmojiJoiner(codePoint))
            || category == QChar::Other_Surrogate || category == QChar::Other_NotAssigned
            || category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            return Status::InvalidText;
    }
    if (weight < kMinWeight || weight > kMaxWeight)
        return Status::InvalidWeight;
    return Status::Ok;
}

std::optional<QList<HotWord>> HotWordStore::list(qint64 userId)
{
    QSqlQuery query(m_database.connection());
    query.prepare(QStringLiteral("SELECT text, weight FROM hot_words WHERE user_id = ? ORDER BY id"));
    query.addBindValue(userId);
    if (!query.exec())
        return std::nullopt;
    QList<HotWord> words;
    while (query.next())
        words.append({query.value(0).toString(), query.value(1).toInt()});
    return words;
}

HotWordStore::Status HotWordStore::add(qint64 userId, const QString& rawText, int weight)
{
    const QString text = normalizedText(rawText);
    if (const Status status = validate(text, weight); status != Status::Ok)
        return status;
    Status status = Status::StorageError;
    const bool ok = m_database.write([&](QSqlDatabase& db) {
        QSqlQuery update(db);
        update.prepare(QStringLiteral("UPDATE hot_words SET weight = ? WHERE user_id = ? AND text = ?"));
        update.addBindValue(weight);
        update.addBindValue(userId);
        update.addBindValue(text);
        if (!update.exec())
            return false;
        if (update.numRowsAffected() > 0) {
            status = Status::Ok;
            return true;
        }
        QSqlQuery count(db);
        count.prepare(QStringLiteral("SELECT COUNT(*) FROM hot_words WHERE user_id = ?"));
        count.addBindValue(userId);
        if (!count.exec() || !count.next())
            return false;
        if (count.value(0).toInt() >= kMaxWords) {
            status = Status::LimitReached;
            return true;
        }
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO hot_words(user_id, text, weight) VALUES(?, ?, ?)"));
        insert.addBindValue(userId);
        insert.addBindValue(text);
        insert.addBindValue(weight);
        if (!insert.exec())
            return false;
        status = Status::Ok;
        return true;
    });
    return ok ? status : Status::StorageError;
}

HotWordStore::Status HotWordStore::remove(qint64 userId, const QString& rawText)
{
    const QString text = normalizedText(rawText);
    Status status = Status::StorageError;
    const bool ok = m_database.write([&](QSqlDatabase& db) {
        QSqlQuery erase(db);
        erase.prepare(QStringLiteral("DELETE FROM hot_words WHERE user_id = ? AND text = ?"));
        erase.addBindValue(userId);
        erase.addBindValue(text);
        if (!erase.exec())
            return false;
        status = erase.numRowsAffected() > 0 ? Status::Ok : Status::NotFound;
        return true;
    });
    return ok ? status : Status::StorageError;
}

} // namespace velnor::server
