#pragma once

#include "backend/AccountNotifications.h"
#include "backend/AuthService.h"
#include "log/ConsoleSink.h"

#include <QObject>

namespace velnor {

class SettingsStore;
class UserManager;

// The signed-in state as the main window and the dashboard see it: the
// start-up check of the stored session, the account-data refresh and the
// reaction to the three notifications. Main thread only.
class AccountSession final : public QObject {
    Q_OBJECT
public:
    AccountSession(AuthService& auth, SettingsStore& settings, UserManager& users, AccountNotifications& notifications,
                   Logger& log, ConsoleSink print, QObject* parent = nullptr);

    bool isLoggedIn() const { return m_isLoggedIn; }
    const QString& userPhone() const { return m_userPhone; }

    // Start-up: with a stored token and phone the user counts as signed in and
    // the account data is requested; a 401 signs out, other failures keep the
    // stored session.
    void checkStoredSession();
    // Dashboard: on success `onUser` gets the data; a 401 posts the logout
    // notification, any other answered failure the network-error one; when the
    // backend cannot be reached the session is kept.
    void refreshAccountData(std::function<void(const User&)> onUser);

signals:
    void changed();
    // The login screen should be shown (after a network error sign-out).
    void loginScreenRequested();

private:
    void signOut();

    AuthService& m_auth;
    SettingsStore& m_settings;
    UserManager& m_users;
    AccountNotifications& m_notifications;
    Logger& m_log;
    ConsoleSink m_print;
    bool m_isLoggedIn = false;
    QString m_userPhone;
};

} // namespace velnor
