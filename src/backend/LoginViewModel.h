#pragma once

#include "backend/AccountNotifications.h"
#include "backend/AuthService.h"
#include "core/Scheduler.h"
#include "log/ConsoleSink.h"

#include <QObject>

namespace velnor {

class SecretRedactor;
class SettingsStore;
class UserManager;

// The login screen's state and rules: phone and code checks, the 60 s resend
// countdown, messages, storing the session. Main thread only.
class LoginViewModel final : public QObject {
    Q_OBJECT
public:
    static constexpr int kCountdownSeconds = 60;

    LoginViewModel(AuthService& auth, SettingsStore& settings, UserManager& users, AccountNotifications& notifications,
                   Scheduler& mainQueue, Logger& log, SecretRedactor& redactor, ConsoleSink print,
                   QObject* parent = nullptr);

    // "^1[3-9]\d{9}$" as a whole-string match.
    static bool isValidPhoneNumber(const QString& phone);
    // Exactly four characters, each numeric in the Unicode sense.
    static bool isValidVerificationCode(const QString& code);
    // The text shown for a failed call.
    static QString userFacingMessage(const ServiceError& error);

    const QString& phoneNumber() const { return m_phoneNumber; }
    const QString& verificationCode() const { return m_verificationCode; }
    const QString& inviteCode() const { return m_inviteCode; }
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    bool isLoggedIn() const { return m_isLoggedIn; }
    bool isSendingCode() const { return m_isSendingCode; }
    int countdownSeconds() const { return m_countdownSeconds; }
    const QString& userPhone() const { return m_userPhone; }
    // The code field holds a code this computer's own server answered (the
    // user still signs in with "登录"); cleared once the user edits the field.
    bool codeFromLocalServer() const { return m_codeFromLocalServer; }

    void setPhoneNumber(const QString& value);
    void setVerificationCode(const QString& value);
    void setInviteCode(const QString& value);

    void checkLoginStatus();
    void sendVerificationCode();
    void login();
    void logout();

signals:
    void changed();

private:
    void startCountdown();
    void scheduleTick();
    void fetchUser();
    void setError(std::optional<QString> message);

    AuthService& m_auth;
    SettingsStore& m_settings;
    UserManager& m_users;
    AccountNotifications& m_notifications;
    Scheduler& m_mainQueue;
    Logger& m_log;
    SecretRedactor& m_redactor;
    ConsoleSink m_print;

    QString m_phoneNumber;
    QString m_verificationCode;
    QString m_inviteCode;
    bool m_isLoading = false;
    std::optional<QString> m_errorMessage;
    bool m_isLoggedIn = false;
    bool m_isSendingCode = false;
    int m_countdownSeconds = 0;
    QString m_userPhone;
    bool m_codeFromLocalServer = false;
    Cancellable m_countdownTimer;
};

} // namespace velnor
