#pragma once

#include "backend/AuthTypes.h"

#include <QObject>

namespace velnor {

class SettingsStore;

// The signed-in user's data, in memory only.
class UserManager final : public QObject {
    Q_OBJECT
public:
    explicit UserManager(SettingsStore& settings, QObject* parent = nullptr);

    const std::optional<MeRespones>& userInfo() const { return m_userInfo; }
    const std::optional<User>& userInfoV2() const { return m_userInfoV2; }

    void setUserInfo(MeRespones user);
    void setUserInfoV2(User user);
    // Forgets the data and removes the stored session keys.
    void clear();

signals:
    void userChanged();

private:
    SettingsStore& m_settings;
    std::optional<MeRespones> m_userInfo;
    std::optional<User> m_userInfoV2;
};

} // namespace velnor
