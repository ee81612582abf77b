#include "accounts/PhoneLockout.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace velnor::server {

namespace {

bool run(QSqlDatabase& db, const char* sql, std::initializer_list<QVariant> values)
{
    QSqlQuery query(db);
    query.prepare(QString::fromLatin1(sql));
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

} // namespace

qint64 PhoneLockout::lockDurationMs(int lockouts)
{
    const int doublings = std::clamp(lockouts - 1, 0, 30);
    return std::min(kFirstLockMs << doublings, kLongestLockMs);
}

std::optional<qint64> PhoneLockout::remainingMs(QSqlDatabase& db, const QString& phone, qint64 nowMs)
{
    QSqlQuery select(db);
    select.prepare(QStringLiteral("SELECT locked_until FROM login_guard WHERE phone = ?"));
    select.addBindValue(phone);
    if (!select.exec())
        return std::nullopt;
    if (!select.next())
        return 0;
    return std::max<qint64>(0, select.value(0).toLongLong() - nowMs);
}

bool PhoneLockout::recordFailure(QSqlDatabase& db, const QString& phone, qint64 nowMs)
{
    QSqlQuery select(db);
    select.prepare(QStringLiteral("SELECT window_start, failures, lockouts, last_failure_at FROM login_guard WHERE phone = ?"));
    select.addBindValue(phone);
    if (!select.exec())
        return false;
    qint64 windowStart = nowMs;
    int failures = 0;
    int lockouts = 0;
    if (select.next()) {
        if (nowMs - select.value(0).toLongLong() < kWindowMs) {
            windowStart = select.value(0).toLongLong();
            failures = select.value(1).toInt();
        }
        if (nowMs - select.value(3).toLongLong() < kMemoryMs)
            lockouts = select.value(2).toInt();
    }
    qint64 lockedUntil = 0;
    if (++failures >= kMaxFailures) {
        ++lockouts;
        lockedUntil = nowMs + lockDurationMs(lockouts);
        failures = 0;
        windowStart = nowMs;
    }
    return run(db,
               "INSERT OR REPLACE INTO login_guard(phone, window_start, failures, locked_until, lockouts, last_failure_at)"
               " VALUES(?, ?, ?, ?, ?, ?)",
               {phone, windowStart, failures, lockedUntil, lockouts, nowMs});
}

bool PhoneLockout::forget(QSqlDatabase& db, const QString& phone)
{
    return run(db, "DELETE FROM login_guard WHERE phone = ?", {phone});
}

bool PhoneLockout::prune(QSqlDatabase& db, qint64 nowMs)
{
    return run(db, "DELETE FROM login_guard WHERE locked_until <= ? AND last_failure_at <= ?", {nowMs, nowMs - kMemoryMs});
}

} // namespace velnor::server
