#pragma once

#include "core/Clock.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

#include <functional>
#include <optional>

namespace velnor::server {

class Database;

// Login codes sent by SMS: 4 digits (the length the app asks for) from a
// secure random source, valid for 5 minutes, at most one per phone every 60
// seconds, at most 5 wrong tries each, usable once. Only a keyed hash of each
// code is stored; wrong codes also count against the phone (PhoneLockout).
class SmsCodeIssuer final {
public:
    static constexpr qint64 kValidityMs = 5 * 60 * 1000;
    static constexpr qint64 kResendIntervalMs = 60 * 1000;
    static constexpr int kMaxFailedAttempts = 5;

    enum class IssueStatus { Issued, InvalidPhone, TooSoon, Locked, StorageError };
    struct Issued {
        IssueStatus status = IssueStatus::StorageError;
        QString code;              // when issued
        int retryAfterSeconds = 0; // when too soon or locked
    };

    enum class CheckStatus { Accepted, InvalidInput, NoCode, Expired, Wrong, TooManyAttempts, Locked, StorageError };
    struct Checked {
        CheckStatus status = CheckStatus::StorageError;
        int retryAfterSeconds = 0; // when locked
    };

    using CodeSource = std::function<QString()>;

    // `key` keys the stored hashes (a secret of this database).
    SmsCodeIssuer(Database& database, const Clock& clock, QByteArray key, CodeSource codes = secureRandomCode);

    Issued issue(const QString& phone);
    // Takes back a code that could not be delivered, so a new one may be asked for at once.
    bool withdraw(const QString& phone);
    // Accepted consumes the code; a wrong code counts as one failed attempt.
    Checked check(const QString& phone, const QString& code);
    // Deletes codes that can no longer be used and forgotten lockouts.
    bool prune();

    // Keeps each phone's newest code in memory for lastCode() (test controls only).
    void keepLastCodes() { m_keepLastCodes = true; }
    std::optional<QString> lastCode(const QString& phone) const;

    static bool isValidPhone(const QString& phone);
    static bool isWellFormedCode(const QString& code);
    static QString secureRandomCode();

private:
    QByteArray codeHash(const QString& phone, qint64 issuedAt, const QString& code) const;
    void remember(const QString& phone, const QString& code);

    Database& m_database;
    const Clock& m_clock;
    QByteArray m_key;
    CodeSource m_codes;
    bool m_keepLastCodes = false;
    mutable QMutex m_lastCodesMutex;
    QHash<QString, QString> m_lastCodes;
};

} // namespace velnor::server
