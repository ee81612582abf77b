#include "accounts/AccountStore.h"

#include "storage/Database.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QVariant>

namespace velnor::server {

namespace {

// No 0/O or 1/I: invite codes are read aloud and typed by hand.
QString newInviteCode()
{
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    QString code;
    for (int i = 0; i < 6; ++i)
        code += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(static_cast<int>(sizeof alphabet - 1))]);
    return code;
}

const char* const kUserColumns = "id, phone, created_at, last_login, words_total, invite_code, total_invites";

UserRecord readUser(const QSqlQuery& query)
{
    UserRecord user;
    user.id = query.value(0).toLongLong();
    user.phone = query.value(1).toString();
    user.createdAtMs = query.value(2).toLongLong();
    user.lastLoginMs = query.value(3).toLongLong();
    user.wordsTotal = query.value(4).toLongLong();
    user.inviteCode = query.value(5).toString();
    user.totalInvites = query.value(6).toLongLong();
    return user;
}

std::optional<UserRecord> selectUser(QSqlDatabase& db, const char* where, const QVariant& key)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM users WHERE %2 = ?").arg(QLatin1String(kUserColumns), QLatin1String(where)));
    query.addBindValue(key);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return readUser(query);
}

} // namespace

AccountStore::AccountStore(Database& database, const Clock& clock)
    : m_database(database)
    , m_clock(clock)
{
}

std::optional<UserRecord> AccountStore::signIn(const QString& phone, const QString& inviteCode)
{
    const qint64 now = m_clock.nowMs();
    std::optional<UserRecord> result;
    const bool ok = m_database.write([&](QSqlDatabase& db) {
        if (!selectUser(db, "phone", phone)) {
            std::optional<UserRecord> inviter;
            if (!inviteCode.isEmpty())
                inviter = selectUser(db, "invite_code", inviteCode.trimmed().toUpper());
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral(
                "INSERT INTO users(phone, created_at, last_login, invite_code, invited_by) VALUES(?, ?, ?, ?, ?)"));
            insert.addBindValue(phone);
            insert.addBindValue(now);
            insert.addBindValue(now);
            insert.addBindValue(newInviteCode());
            insert.addBindValue(inviter ? QVariant(inviter->id) : QVariant(QMetaType(QMetaType::LongLong)));
            if (!insert.exec())
                return false;
            if (inviter) {
                QSqlQuery credit(db);
                credit.prepare(QStringLiteral("UPDATE users SET total_invites = total_invites + 1 WHERE id = ?"));
                credit.addBindValue(inviter->id);
                if (!credit.exec())
                    return false;
            }
        } else {
            QSqlQuery touch(db);
            touch.prepare(QStringLiteral("UPDATE users SET last_login = ? WHERE phone = ?"));
            touch.addBindValue(now);
            touch.addBindValue(phone);
            if (!touch.exec())
                return false;
        }
        result = selectUser(db, "phone", phone);
        return result.has_value();
    });
    return ok ? result : std::nullopt;
}

std::optional<UserRecord> AccountStore::user(qint64 id)
{
    QSqlDatabase db = m_database.connection();
    return selectUser(db, "id", id);
}

} // namespace velnor::server
