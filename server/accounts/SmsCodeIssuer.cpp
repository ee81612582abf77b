#include "accounts/SmsCodeIssuer.h"

#include "accounts/PhoneLockout.h"
#include "core/ConstantTime.h"
#include "storage/Database.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QVariant>

namespace velnor::server {

namespace {

int roundUpToSeconds(qint64 ms)
{
    return static_cast<int>((ms + 999) / 1000);
}

// Digits typed on other keyboards (full-width, Arabic-Indic, ...) mean the same code.
QString asciiDigits(const QString& text)
{
    QString ascii;
    for (const QChar c : text)
        ascii += c.digitValue() >= 0 ? QChar(u'0' + c.digitValue()) : c;
    return ascii;
}

} // namespace

SmsCodeIssuer::SmsCodeIssuer(Database& database, const Clock& clock, QByteArray key, CodeSource codes)
    : m_database(database)
    , m_clock(clock)
    , m_key(std::move(key))
    , m_codes(std::move(codes))
{
}

bool SmsCodeIssuer::isValidPhone(const QString& phone)
{
    // Anchored: "$" alone would also accept a phone followed by a newline.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral("1[3-9][0-9]{9}")));
    return pattern.match(phone).hasMatch();
}

bool SmsCodeIssuer::isWellFormedCode(const QString& code)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{4}")));
    return pattern.match(code).hasMatch();
}

QString SmsCodeIssuer::secureRandomCode()
{
    return QStringLiteral("%1").arg(QRandomGenerator::system()->bounded(10000), 4, 10, QLatin1Char('0'));
}

QByteArray SmsCodeIssuer::codeHash(const QString& phone, qint64 issuedAt, const QString& code) const
{
    const QByteArray message = phone.toUtf8() + '|' + QByteArray::number(issuedAt) + '|' + code.toUtf8();
    return QMessageAuthenticationCode::hash(message, m_key, QCryptographicHash::Sha256);
}

void SmsCodeIssuer::remember(const QString& phone, const QString& code)
{
    if (!m_keepLastCodes)
        return;
    QMutexLocker lock(&m_lastCodesMutex);
    m_lastCodes.insert(phone, code);
}

std::optional<QString> SmsCodeIssuer::lastCode(const QString& phone) const
{
    QMutexLocker lock(&m_lastCodesMutex);
    const auto found = m_lastCodes.constFind(phone);
    return found == m_lastCodes.constEnd() ? std::nullopt : std::optional<QString>(*found);
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
        const std::optional<qint64> locked = PhoneLockout::remainingMs(db, phone, now);
        if (!locked)
            return false;
        if (*locked > 0) {
            result.status = IssueStatus::Locked;
            result.retryAfterSeconds = roundUpToSeconds(*locked);
            return true;
        }
        QSqlQuery previous(db);
        previous.prepare(QStringLiteral("SELECT issued_at FROM login_codes WHERE phone = ?"));
        previous.addBindValue(phone);
        if (!previous.exec())
            return false;
        if (previous.next()) {
            const qint64 wait = previous.value(0).toLongLong() + kResendIntervalMs - now;
            if (wait > 0) {
                result.status = IssueStatus::TooSoon;
                result.retryAfterSeconds = roundUpToSeconds(wait);
                return true;
            }
        }
        const QString code = m_codes();
        QSqlQuery store(db);
        store.prepare(QStringLiteral(
            "INSERT OR REPLACE INTO login_codes(phone, code_hash, issued_at, expires_at, failed_attempts, used)"
            " VALUES(?, ?, ?, ?, 0, 0)"));
        store.addBindValue(phone);
        store.addBindValue(codeHash(phone, now, code));
        store.addBindValue(now);
        store.addBindValue(now + kValidityMs);
        if (!store.exec())
            return false;
        result.status = IssueStatus::Issued;
        result.code = code;
        return true;
    });
    if (!ok)
        return Issued{};
    if (result.status == IssueStatus::Issued)
        remember(phone, result.code);
    return result;
}

bool SmsCodeIssuer::withdraw(const QString& phone)
{
    return m_database.write([&](QSqlDatabase& db) {
        QSqlQuery erase(db);
        erase.prepare(QStringLiteral("DELETE FROM login_codes WHERE phone = ? AND used = 0"));
        erase.addBindValue(phone);
        return erase.exec();
    });
}

SmsCodeIssuer::Checked SmsCodeIssuer::check(const QString& phone, const QString& typedCode)
{
    const QString code = asciiDigits(typedCode);
    if (!isValidPhone(phone) || !isWellFormedCode(code))
        return {CheckStatus::InvalidInput};
    Checked result;
    const qint64 now = m_clock.nowMs();
    const bool ok = m_database.write([&](QSqlDatabase& db) {
        const std::optional<qint64> locked = PhoneLockout::remainingMs(db, phone, now);
        if (!locked)
            return false;
        if (*locked > 0) {
            result = {CheckStatus::Locked, roundUpToSeconds(*locked)};
            return true;
        }
        QSqlQuery select(db);
        select.prepare(
            QStringLiteral("SELECT code_hash, issued_at, expires_at, failed_attempts, used FROM login_codes WHERE phone = ?"));
        select.addBindValue(phone);
        if (!select.exec())
            return false;
        if (!select.next() || select.value(4).toInt() != 0) {
            result.status = CheckStatus::NoCode;
            return true;
        }
        if (select.value(3).toInt() >= kMaxFailedAttempts) {
            result.status = CheckStatus::TooManyAttempts;
            return true;
        }
        if (select.value(2).toLongLong() <= now) {
            result.status = CheckStatus::Expired;
            return true;
        }
        const bool right = equalInConstantTime(codeHash(phone, select.value(1).toLongLong(), code),
                                               select.value(0).toByteArray());
        QSqlQuery update(db);
        update.prepare(right ? QStringLiteral("UPDATE login_codes SET used = 1 WHERE phone = ?")
                             : QStringLiteral("UPDATE login_codes SET failed_attempts = failed_attempts + 1 WHERE phone = ?"));
        update.addBindValue(phone);
        if (!update.exec())
            return false;
        if (!(right ? PhoneLockout::forget(db, phone) : PhoneLockout::recordFailure(db, phone, now)))
            return false;
        result.status = right ? CheckStatus::Accepted : CheckStatus::Wrong;
        return true;
    });
    return ok ? result : Checked{};
}

bool SmsCodeIssuer::prune()
{
    const qint64 now = m_clock.nowMs();
    return m_database.write([&](QSqlDatabase& db) {
        QSqlQuery codes(db);
        codes.prepare(QStringLiteral("DELETE FROM login_codes WHERE expires_at <= ?"));
        codes.addBindValue(now);
        return codes.exec() && PhoneLockout::prune(db, now);
    });
}

} // namespace velnor::server
