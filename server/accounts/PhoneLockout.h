#pragma once

#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace velnor::server {

// Wrong login codes counted per phone across codes: asking for a new code
// does not clear them. Ten failures within an hour lock the phone (no codes,
// no logins) for 15 minutes, each further lockout twice as long up to a day;
// a day without failures or a successful login forgets past lockouts.
// Works inside the caller's transaction.
class PhoneLockout final {
public:
    static constexpr int kMaxFailures = 10;
    static constexpr qint64 kWindowMs = 60LL * 60 * 1000;
    static constexpr qint64 kFirstLockMs = 15LL * 60 * 1000;
    static constexpr qint64 kLongestLockMs = 24LL * 60 * 60 * 1000;
    static constexpr qint64 kMemoryMs = 24LL * 60 * 60 * 1000;

    PhoneLockout() = delete;

    // How long the `lockouts`-th lockout lasts (1 = the first).
    static qint64 lockDurationMs(int lockouts);
    // Milliseconds until the phone may try again (0: not locked); none on a storage error.
    static std::optional<qint64> remainingMs(QSqlDatabase& db, const QString& phone, qint64 nowMs);
    // Counts one wrong code; locks the phone at the limit. False on a storage error.
    static bool recordFailure(QSqlDatabase& db, const QString& phone, qint64 nowMs);
    static bool forget(QSqlDatabase& db, const QString& phone);
    // Drops the rows of phones neither locked nor remembered any more.
    static bool prune(QSqlDatabase& db, qint64 nowMs);
};

} // namespace velnor::server
