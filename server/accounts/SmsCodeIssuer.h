#pragma once

#include "core/Clock.h"

#include <QString>

#include <functional>
#include <optional>

namespace velnor::server {

class Database;

// Login codes sent by SMS: 4 digits from a secure random source, valid for
// 5 minutes, at most one per phone every 60 seconds, at most 5 wrong tries,
// usable once. Kept in the database so a restart loses nothing.
class SmsCodeIssuer final {
public:
    static constexpr qint64 kValidityMs = 5 * 60 * 1000;
    static constexpr qint64 kResendIntervalMs = 60 * 1000;
    static constexpr int kMaxFailedAttempts = 5;

    enum class IssueStatus { Issued, InvalidPhone, TooSoon, StorageError };
    struct Issued {
        IssueStatus status = IssueStatus::StorageError;
        QString code;              // when issued
        int retryAfterSeconds = 0; // when too soon
    };

    enum class CheckStatus { Accepted, InvalidInput, NoCode, Expired, Wrong, TooManyAttempts, StorageError };

    using CodeSource = std::function<QString()>;

    SmsCodeIssuer(Database& database, const Clock& clock, CodeSource codes = secureRandomCode);

    Issued issue(const QString& phone);
    // Accepted consumes the code; a wrong code counts as one failed attempt.
    CheckStatus check(const QString& phone, const QString& code);
    // The newest code issued for `phone` (the development delivery sink).
    std::optional<QString> lastCode(const QString& phone);

    static bool isValidPhone(const QString& phone);
    static bool isWellFormedCode(const QString& code);
    static QString secureRandomCode();

private:
    Database& m_database;
    const Clock& m_clock;
    CodeSource m_codes;
};

} // namespace velnor::server
