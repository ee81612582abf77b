#include "accounts/SmsCodeIssuer.h"

#include "storage/Database.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QVariant>

namespace velnor::server {

SmsCodeIssuer::SmsCodeIssuer(Database& database, const Clock& clock, CodeSource codes)
    : m_database(database)
    , m_clock(clock)
    , m_codes(std::move(codes))
{
}

bool SmsCodeIssuer::isValidPhone(const QString& phone)
{
    static const QRegularExpression pattern(QStringLiteral("^1[3-9][0-9]{9}$"));
    return pattern.match(phone).hasMatch();
}

bool SmsCodeIssuer::isWellFormedCode(const QString& code)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{4}$"));
    return pattern.match(code).hasMatch();
}

QString SmsCodeIssuer::secureRandomCode()
{
    return QStringLiteral("%1").arg(QRandomGenerator::system()->bounded(10000), 4, 10, QLatin1Char('0'));
}

SmsCodeIssuer::Issued SmsCodeIssuer::issue(const QString& phone)
{
    Issued result;
    if (!isValidPhone(phone)) {
        result.status = IssueStatus::InvalidPhone;
        return result;
    }
    const qint64 now = m_clock.nowMs();
    const bool ok = m_database.write([&](QSqlDatabase& db) {
        QSqlQuery previous(db);
        previous.prepare(QStringLiteral("SELECT issued_at FROM sms_codes WHERE phone = ?"));
        previous.addBindValue(phone);
        if (!previous.exec())
            return false;
        if (previous.next()) {
            const qint64 wait = previous.value(0).toLongLong() + kResendIntervalMs - now;
            if (wait > 0) {
                result.status = IssueStatus::TooSoon;
                result.retryAfterSeconds = static_cast<int>((wait + 999) / 1000);
                return true;
            }
        }
        const QString code = m_codes();
        QSqlQuery store(db);
        store.prepare(QStringLiteral(
            "INSERT OR REPLACE INTO sms_codes(phone, code, issued_at, expires_at, failed_attempts, used)"
            " VALUES(?, ?, ?, ?, 0, 0)"));
        store.addBindValue(phone);
        store.addBindValue(code);
        store.addBindValue(now);
        store.addBindValue(now + kValidityMs);
        if (!store.exec())
            return false;
        result.status = IssueStatus::Issued;
        result.code = code;
        return true;
    });
    if (!ok)
        result = Issued{};
    return result;
}

namespace {

// Digits typed on other keyboards (full-width, Arabic-Indic, ...) mean the same code.
QString asciiDigits(const QString& text)
{
    QString ascii;
    for (const QChar c : text)
        ascii += c.digitValue() >= 0 ? QChar(u'0' + c.digitValue()) : c;
    return ascii;
}

} // namespace

SmsCodeIssuer::CheckStatus SmsCodeIssuer::check(const QString& phone, const QString& typedCode)
{
    const QString code = asciiDigits(typedCode);
    if (!isValidPhone(phone) || !isWellFormedCode(code))
        return CheckStatus::InvalidInput;
    CheckStatus status = CheckStatus::StorageError;
    const qint64 now = m_clock.nowMs();
    const bool ok = m_database.write([&](QSqlDatabase& db) {
        QSqlQuery select(db);
        select.prepare(QStringLiteral("SELECT code, expires_at, failed_attempts, used FROM sms_codes WHERE phone = ?"));
        select.addBindValue(phone);
        if (!select.exec())
            return false;
        if (!select.next() || select.value(3).toInt() != 0) {
            status = CheckStatus::NoCode;
            return true;
        }
        if (select.value(2).toInt() >= kMaxFailedAttempts) {
            status = CheckStatus::TooManyAttempts;
            return true;
        }
        if (select.value(1).toLongLong() <= now) {
            status = CheckStatus::Expired;
            return true;
        }
        const bool right = select.value(0).toString() == code;
        QSqlQuery update(db);
        update.prepare(right ? QStringLiteral("UPDATE sms_codes SET used = 1 WHERE phone = ?")
                             : QStringLiteral("UPDATE sms_codes SET failed_attempts = failed_attempts + 1 WHERE phone = ?"));
        update.addBindValue(phone);
        if (!update.exec())
            return false;
        status = right ? CheckStatus::Accepted : CheckStatus::Wrong;
        return true;
    });
    return ok ? status : CheckStatus::StorageError;
}

std::optional<QString> SmsCodeIssuer::lastCode(const QString& phone)
{
    QSqlQuery select(m_database.connection());
    select.prepare(QStringLiteral("SELECT code FROM sms_codes WHERE phone = ?"));
    select.addBindValue(phone);
    if (!select.exec() || !select.next())
        return std::nullopt;
    return select.value(0).toString();
}

} // namespace velnor::server
