#include "backend/LoginViewModel.h"

#include "backend/BearerToken.h"
#include "backend/UserManager.h"
#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"

#include <QPointer>
#include <QRegularExpression>

namespace velnor {

namespace {
QString key(const char* name)
{
    return QString::fromLatin1(name);
}
} // namespace

LoginViewModel::LoginViewModel(AuthService& auth, SettingsStore& settings, UserManager& users,
                               AccountNotifications& notifications, Scheduler& mainQueue, Logger& log,
                               SecretRedactor& redactor, ConsoleSink print, QObject* parent)
    : QObject(parent)
    , m_auth(auth)
    , m_settings(settings)
    , m_users(users)
    , m_notifications(notifications)
    , m_mainQueue(mainQueue)
    , m_log(log)
    , m_redactor(redactor)
    , m_print(std::move(print))
{
    checkLoginStatus();
}

bool LoginViewModel::isValidPhoneNumber(const QString& phone)
{
    static const QRegularExpression rule(QRegularExpression::anchoredPattern(QStringLiteral("1[3-9]\\d{9}")));
    // \d would also take other scripts' digits; the rule means ASCII digits.
    for (const QChar c : phone) {
        if (c.unicode() > 0x7f)
            return false;
    }
    return rule.match(phone).hasMatch();
}

bool LoginViewModel::isValidVerificationCode(const QString& code)
{
    const QList<uint> points = code.toUcs4();
    if (points.size() != 4)
        return false;
    return std::all_of(points.cbegin(), points.cend(), [](uint c) { return QChar::isNumber(char32_t(c)); });
}

QString LoginViewModel::userFacingMessage(const ServiceError& error)
{
    return error.description;
}

void LoginViewModel::setPhoneNumber(const QString& value)
{
    m_phoneNumber = value;
    emit changed();
}

void LoginViewModel::setVerificationCode(const QString& value)
{
    m_verificationCode = value;
    m_codeFromLocalServer = false;
    emit changed();
}

void LoginViewModel::setInviteCode(const QString& value)
{
    m_inviteCode = value;
    emit changed();
}

void LoginViewModel::setError(std::optional<QString> message)
{
    m_errorMessage = std::move(message);
    emit changed();
}

void LoginViewModel::checkLoginStatus()
{
    const auto token = m_settings.string(key(SettingsKey::UserJwt));
    const auto phone = m_settings.string(key(SettingsKey::UserPhone));
    if (token && !token->isEmpty() && phone) {
        m_redactor.addSecret(*token);
        m_isLoggedIn = true;
        m_userPhone = *phone;
    } else {
        m_isLoggedIn = false;
        m_userPhone.clear();
    }
    emit changed();
}

void LoginViewModel::sendVerificationCode()
{
    if (!isValidPhoneNumber(m_phoneNumber)) {
        setError(QStringLiteral("请输入有效的11位手机号码"));
        return;
    }
    m_isSendingCode = true;
    setError(std::nullopt);
    QPointer<LoginViewModel> self(this);
    m_auth.sendVerificationCode(m_phoneNumber, [self](Result<SentCode, ServiceError> result) {
        if (!self)
            return;
        self->m_isSendingCode = false;
        if (!result) {
            self->setError(userFacingMessage(result.error()));
            return;
        }
        const SentCode& sent = result.value();
        if (sent.localCode && isValidVerificationCode(*sent.localCode)) {
            self->m_verificationCode = *sent.localCode;
            self->m_codeFromLocalServer = true;
        }
        self->startCountdown();
        self->m_print(QStringLiteral("验证码发送成功: ") + (sent.sent ? QStringLiteral("true") : QStringLiteral("false")));
        emit self->changed();
    });
}

void LoginViewModel::startCountdown()
{
    m_countdownSeconds = kCountdownSeconds;
    m_countdownTimer.cancel();
    scheduleTick();
    emit changed();
}

void LoginViewModel::scheduleTick()
{
    QPointer<LoginViewModel> self(this);
    m_countdownTimer = m_mainQueue.after(seconds(1.0), [self] {
        if (!self)
            return;
        self->m_countdownSeconds -= 1;
        if (self->m_countdownSeconds >= 1)
            self->scheduleTick();
        emit self->changed();
    });
}

void LoginViewModel::login()
{
    if (!isValidPhoneNumber(m_phoneNumber)) {
        setError(QStringLiteral("请输入有效的11位手机号码"));
        return;
    }
    if (!isValidVerificationCode(m_verificationCode)) {
        setError(QStringLiteral("请输入4位验证码"));
        return;
    }
    m_isLoading = true;
    setError(std::nullopt);
    VerifyCodeLoginRequest request{m_phoneNumber, m_verificationCode,
                                   m_inviteCode.isEmpty() ? std::nullopt : std::optional<QString>(m_inviteCode)};
    QPointer<LoginViewModel> self(this);
    m_auth.loginWithVerificationCode(request, [self](Result<LoginResponse, ServiceError> result) {
        if (!self)
            return;
        self->m_isLoading = false;
        if (!result) {
            self->setError(userFacingMessage(result.error()));
            return;
        }
        const LoginResponse& response = result.value();
        self->m_redactor.addSecret(response.token);
        if (!isHeaderSafeToken(response.token)) {
            // Stored, it would be written into the header of every request.
            self->m_log.error(QStringLiteral("登录返回的令牌含有控制字符，已拒绝"));
            self->setError(APIResponseError::parsingError().description());
            return;
        }
        self->m_settings.setString(key(SettingsKey::UserJwt), response.token);
        if (response.phone)
            self->m_settings.setString(key(SettingsKey::UserPhone), *response.phone);
        else
            self->m_settings.remove(key(SettingsKey::UserPhone));
        // A login answer without a phone still shows the number the user typed.
        self->m_userPhone = response.phone.value_or(self->m_phoneNumber);
        self->m_isLoggedIn = true;
        emit self->changed();
        self->fetchUser();
    });
}

void LoginViewModel::fetchUser()
{
    QPointer<LoginViewModel> self(this);
    m_auth.meV2([self](Result<User, ServiceError> result) {
        if (!self)
            return;
        if (!result) {
            const QString line = QStringLiteral("获取用户信息失败: ") + result.error().toString();
            self->m_log.error(line);
            self->m_print(line);
            return;
        }
        self->m_log.info(QStringLiteral("获取用户信息成功: ") + JsonCodec<User>::printed(result.value()));
        self->m_users.setUserInfoV2(result.value());
        self->m_notifications.post(AccountNotifications::Name::LoginSuccess);
    });
}

void LoginViewModel::logout()
{
    for (const char* name : {SettingsKey::UserName, SettingsKey::UserPhone, SettingsKey::UserJwt})
        m_settings.remove(key(name));
    m_isLoggedIn = false;
    m_userPhone.clear();
    emit changed();
    m_notifications.post(AccountNotifications::Name::Logout);
}

} // namespace velnor
