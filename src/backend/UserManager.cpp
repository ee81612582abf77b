#include "backend/UserManager.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"

namespace velnor {

UserManager::UserManager(SettingsStore& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
{
}

void UserManager::setUserInfo(MeRespones user)
{
    m_userInfo = std::move(user);
    emit userChanged();
}

void UserManager::setUserInfoV2(User user)
{
    m_userInfoV2 = std::move(user);
    emit userChanged();
}

void UserManager::clear()
{
    m_userInfo.reset();
    m_userInfoV2.reset();
    for (const char* key : {SettingsKey::UserPhone, SettingsKey::UserName, SettingsKey::UserId, SettingsKey::UserJwt})
        m_settings.remove(QString::fromLatin1(key));
    emit userChanged();
}

} // namespace velnor
