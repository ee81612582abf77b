#pragma once

#include "core/Clock.h"

#include <QString>

#include <optional>

namespace velnor::server {

class Database;

struct UserRecord {
    qint64 id = 0;
    QString phone;
    qint64 createdAtMs = 0;
    qint64 lastLoginMs = 0;
    qint64 wordsTotal = 0;
    QString inviteCode;      // the user's own code, to give to others
    qint64 totalInvites = 0; // users who signed up with it
};

// Users: created on their first login by phone number.
class AccountStore final {
public:
    AccountStore(Database& database, const Clock& clock);

    // Signs the phone's user in (creating it on first login, when `inviteCode`
    // naming another user credits that user). None on a storage failure.
    std::optional<UserRecord> signIn(const QString& phone, const QString& inviteCode);
    std::optional<UserRecord> user(qint64 id);

private:
    Database& m_database;
    const Clock& m_clock;
};

} // namespace velnor::server
