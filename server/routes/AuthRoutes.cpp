#include "routes/AuthRoutes.h"

#include "accounts/AccountStore.h"
#include "accounts/SmsCodeIssuer.h"
#include "accounts/SmsSender.h"
#include "accounts/TokenSigner.h"
#include "http/ApiRouter.h"
#include "http/Envelope.h"
#include "routes/Authenticator.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>

namespace velnor::server {

namespace {

// New accounts get a trial subscription of this length.
constexpr qint64 kTrialMs = 30LL * 24 * 3600 * 1000;

QString isoTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
}

const QString kInvalidPhone = QStringLiteral("phone must be a mainland mobile number: 11 digits starting with 13 to 19");

ApiReply invalidJson(const QString& error)
{
    return Envelope::failure(Envelope::BadRequest, error);
}

ApiReply tooManyFromPeer(int retryAfterSeconds)
{
    return Envelope::failure(Envelope::TooManyRequests,
                             QStringLiteral("too many requests from this address; try again in %1 s").arg(retryAfterSeconds));
}

ApiReply phoneLocked(int retryAfterSeconds)
{
    return Envelope::failure(Envelope::TooManyRequests,
                             QStringLiteral("too many wrong codes for this phone; try again in %1 min")
                                 .arg((retryAfterSeconds + 59) / 60));
}

} // namespace

AuthRoutes::AuthRoutes(ApiRouter& router, SmsCodeIssuer& codes, AccountStore& accounts, const TokenSigner& signer,
                       const Authenticator& authenticator, const Clock& clock, CodeDelivery delivery)
    : m_codes(codes)
    , m_accounts(accounts)
    , m_signer(signer)
    , m_authenticator(authenticator)
    , m_clock(clock)
    , m_delivery(delivery)
    , m_codeRequests(clock, kCodeRequestsPerPeer, kPeerWindowMs)
    , m_loginAttempts(clock, kLoginAttemptsPerPeer, kPeerWindowMs)
{
    using Method = QHttpServerRequest::Method;
    router.add(Method::Post, QStringLiteral("/auth/sms/code"), [this](const ApiRequest& r) { return sendCode(r); });
    router.add(Method::Post, QStringLiteral("/auth/login/sms"), [this](const ApiRequest& r) { return login(r); });
    router.add(Method::Get, QStringLiteral("/auth/mev2"), [this](const ApiRequest& r) { return me(r); });
}

bool AuthRoutes::mayAnswerCodeTo(const QHostAddress& peer)
{
    bool isV4 = false;
    const QHostAddress address(peer.toIPv4Address(&isV4));   // ::ffff:127.0.0.1 is loopback too
    return isV4 ? address.isLoopback() : peer.isLoopback();
}

ApiReply AuthRoutes::deliver(const ApiRequest& request, const QString& phone, const QString& code)
{
    QString error;
    if (!m_delivery.sender.send(phone, code, &error)) {
        qWarning("SMS to %s failed: %s", qPrintable(maskedPhone(phone)), qPrintable(error));
        // The user may ask again at once rather than wait for a code that never came.
        m_codes.withdraw(phone);
        return Envelope::failure(Envelope::Unavailable, QStringLiteral("the SMS could not be sent; try again later"));
    }
    if (m_delivery.answerToLoopback && mayAnswerCodeTo(request.remoteAddress))
        return Envelope::success(QJsonObject{{QStringLiteral("dev_code"), code}});
    return Envelope::success(true);
}

ApiReply AuthRoutes::sendCode(const ApiRequest& request)
{
    int retryAfter = 0;
    if (!m_codeRequests.tryAcquire(request.remoteAddress, &retryAfter))
        return tooManyFromPeer(retryAfter);
    QString error;
    const std::optional<QJsonObject> body = request.jsonObject(&error);
    if (!body)
        return invalidJson(error);
    const QString phone = body->value(QStringLiteral("phone")).toString();
    const SmsCodeIssuer::Issued issued = m_codes.issue(phone);
    switch (issued.status) {
    case SmsCodeIssuer::IssueStatus::Issued:
        return deliver(request, phone, issued.code);
    case SmsCodeIssuer::IssueStatus::Locked:
        return phoneLocked(issued.retryAfterSeconds);
    case SmsCodeIssuer::IssueStatus::InvalidPhone:
        return Envelope::failure(Envelope::BadRequest, kInvalidPhone);
    case SmsCodeIssuer::IssueStatus::TooSoon:
        return Envelope::failure(Envelope::TooManyRequests,
                                 QStringLiteral("a code was sent less than a minute ago; try again in %1 s")
                                     .arg(issued.retryAfterSeconds));
    case SmsCodeIssuer::IssueStatus::StorageError:
        break;
    }
    return Envelope::failure(Envelope::InternalError, QStringLiteral("the code could not be stored"));
}

ApiReply AuthRoutes::login(const ApiRequest& request)
{
    int retryAfter = 0;
    if (!m_loginAttempts.tryAcquire(request.remoteAddress, &retryAfter))
        return tooManyFromPeer(retryAfter);
    QString error;
    const std::optional<QJsonObject> body = request.jsonObject(&error);
    if (!body)
        return invalidJson(error);
    const QString phone = body->value(QStringLiteral("phone")).toString();
    const QString code = body->value(QStringLiteral("code")).toString();
    const QString inviteCode = body->value(QStringLiteral("invite_code")).toString();
    if (!SmsCodeIssuer::isValidPhone(phone))
        return Envelope::failure(Envelope::BadRequest, kInvalidPhone);

    const SmsCodeIssuer::Checked checked = m_codes.check(phone, code);
    switch (checked.status) {
    case SmsCodeIssuer::CheckStatus::Accepted:
        break;
    case SmsCodeIssuer::CheckStatus::InvalidInput:
        return Envelope::failure(Envelope::BadRequest, QStringLiteral("the verification code must be 4 digits"));
    case SmsCodeIssuer::CheckStatus::NoCode:
        return Envelope::failure(Envelope::Forbidden, QStringLiteral("no verification code was sent to this phone"));
    case SmsCodeIssuer::CheckStatus::Expired:
        return Envelope::failure(Envelope::Forbidden, QStringLiteral("the verification code has expired; request a new one"));
    case SmsCodeIssuer::CheckStatus::Wrong:
        return Envelope::failure(Envelope::Forbidden, QStringLiteral("the verification code is wrong"));
    case SmsCodeIssuer::CheckStatus::TooManyAttempts:
        return Envelope::failure(Envelope::TooManyRequests,
                                 QStringLiteral("too many wrong codes; request a new verification code"));
    case SmsCodeIssuer::CheckStatus::Locked:
        return phoneLocked(checked.retryAfterSeconds);
    case SmsCodeIssuer::CheckStatus::StorageError:
        return Envelope::failure(Envelope::InternalError, QStringLiteral("the code could not be checked"));
    }

    const std::optional<UserRecord> user = m_accounts.signIn(phone, inviteCode);
    if (!user)
        return Envelope::failure(Envelope::InternalError, QStringLiteral("the account could not be stored"));
    return Envelope::success(QJsonObject{{QStringLiteral("token"), m_signer.issue(user->id)},
                                         {QStringLiteral("phone"), user->phone},
                                         {QStringLiteral("userId"), QString::number(user->id)}});
}

ApiReply AuthRoutes::me(const ApiRequest& request)
{
    const Authenticator::Caller caller = m_authenticator.identify(request);
    if (caller.kind != Authenticator::Kind::User)
        return Envelope::failure(Envelope::Unauthorized, QStringLiteral("not signed in or the session has expired"));
    const std::optional<UserRecord> user = m_accounts.user(caller.userId);
    if (!user)
        return Envelope::failure(Envelope::Unauthorized, QStringLiteral("not signed in or the session has expired"));

    const qint64 trialEnd = user->createdAtMs + kTrialMs;
    const QJsonObject subscription{{QStringLiteral("startTime"), isoTime(user->createdAtMs)},
                                   {QStringLiteral("endTime"), isoTime(trialEnd)},
                                   {QStringLiteral("status"), trialEnd > m_clock.nowMs() ? QStringLiteral("active")
                                                                                        : QStringLiteral("expired")}};
    return Envelope::success(QJsonObject{
        {QStringLiteral("id"), QString::number(user->id)},
        {QStringLiteral("nick"), QStringLiteral("user") + user->phone.right(4)},
        {QStringLiteral("phone"), user->phone},
        {QStringLiteral("created_at"), isoTime(user->createdAtMs)},
        {QStringLiteral("last_login"), isoTime(user->lastLoginMs)},
        {QStringLiteral("vip2"), subscription},
        {QStringLiteral("urls"), QJsonArray()},
        {QStringLiteral("generate_words_total"), user->wordsTotal},
        {QStringLiteral("invite"),
         QJsonObject{{QStringLiteral("code"), user->inviteCode}, {QStringLiteral("total_invites"), user->totalInvites}}},
    });
}

} // namespace velnor::server
