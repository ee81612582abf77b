#include "backend/AccountSession.h"

#include "backend/UserManager.h"
#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "log/Logger.h"

#include <QPointer>

namespace velnor {

namespace {
bool isUnreachable(const ServiceError& error)
{
    const ServiceErrorTexts& texts = AuthService::errorTexts();
    return error.domain == texts.networkDomain || error.domain == texts.timeoutDomain;
}
} // namespace

AccountSession::AccountSession(AuthService& auth, SettingsStore& settings, UserManager& users,
                               AccountNotifications& notifications, Logger& log, ConsoleSink print, QObject* parent)
    : QObject(parent)
    , m_auth(auth)
    , m_settings(settings)
    , m_users(users)
    , m_notifications(notifications)
    , m_log(log)
    , m_print(std::move(print))
{
    using Name = AccountNotifications::Name;
    notifications.observe(Name::LoginSuccess, this, [this] {
        m_isLoggedIn = true;
        m_userPhone = m_settings.stringOr(QString::fromLatin1(SettingsKey::UserPhone), QString());
        emit changed();
    });
    notifications.observe(Name::Logout, this, [this] { signOut(); });
    notifications.observe(Name::NetworkError, this, [this] {
        m_log.info(QStringLiteral("收到网络错误通知，显示登录界面"));
        signOut();
        emit loginScreenRequested();
    });
}

void AccountSession::signOut()
{
    m_isLoggedIn = false;
    m_userPhone.clear();
    m_users.clear();
    emit changed();
}

void AccountSession::checkStoredSession()
{
    const auto token = m_settings.string(QString::fromLatin1(SettingsKey::UserJwt));
    const auto phone = m_settings.string(QString::fromLatin1(SettingsKey::UserPhone));
    if (!token || !phone) {
        m_isLoggedIn = false;
        m_userPhone.clear();
        emit changed();
        return;
    }
    m_isLoggedIn = true;
    m_userPhone = *phone;
    emit changed();
    QPointer<AccountSession> self(this);
    m_auth.meV2([self](Result<User, ServiceError> result) {
        if (!self)
            return;
        if (!result) {
            self->m_log.error(QStringLiteral("获取用户信息失败: ") + result.error().toString());
            // Only a rejected token ends the session: an offline start keeps it.
            if (AuthService::isUnauthorized(result.error()))
                self->signOut();
            return;
        }
        self->m_log.info(QStringLiteral("获取用户信息成功: ") + JsonCodec<User>::printed(result.value()));
        self->m_users.setUserInfoV2(result.value());
    });
}

void AccountSession::refreshAccountData(std::function<void(const User&)> onUser)
{
    QPointer<AccountSession> self(this);
    m_auth.meV2([self, onUser = std::move(onUser)](Result<User, ServiceError> result) {
        if (!self)
            return;
        if (result) {
            if (onUser)
                onUser(result.value());
            return;
        }
        if (AuthService::isUnauthorized(result.error())) {
            self->m_notifications.post(AccountNotifications::Name::Logout);
            return;
        }
        const QString line = QStringLiteral("获取用户信息失败: ") + result.error().toString();
        self->m_log.error(line);
        self->m_print(line);
        // Offline (no answer at all) the stored session stays: signing out
        // would trap the user at a login that cannot succeed either.
        if (isUnreachable(result.error()))
            return;
        self->m_notifications.post(AccountNotifications::Name::NetworkError);
    });
}

} // namespace velnor
