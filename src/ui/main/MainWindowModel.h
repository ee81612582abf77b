#pragma once

#include "ui/onboarding/OnboardingModel.h"

#include <QObject>
#include <QString>

namespace velnor {

class AccountNotifications;
class AccountSession;
class LoginViewModel;
class SettingsStore;

// In sidebar order; each is also its screen's place in the window.
enum class MenuItem { Dashboard, Hotwords, History, Settings };

// The main window's navigation and sheets: which screen shows, whether the
// user is signed in, and when the login and onboarding sheets are up.
// Main thread only.
class MainWindowModel final : public QObject {
    Q_OBJECT
public:
    MainWindowModel(SettingsStore& settings, AccountSession& session, LoginViewModel& login, QObject* parent = nullptr);

    MenuItem selectedMenuItem() const { return m_selected; }
    bool isLoggedIn() const { return m_isLoggedIn; }
    const QString& userPhone() const { return m_userPhone; }
    bool showLoginView() const { return m_showLoginView; }
    bool showPermissionOnboarding() const { return m_showOnboarding; }
    OnboardingStep onboardingStep() const { return m_onboardingStep; }

    // The first appearance of the window (later calls do nothing): the
    // onboarding rule, then the stored-session check.
    void firstAppear();
    void select(MenuItem item);
    void requestLogin();
    void logout();
    // The settings screen's permission buttons open the onboarding at a step.
    void openOnboardingAt(OnboardingStep step);
    void onboardingFinished();

signals:
    void changed();

private:
    void syncSignedIn();
    void setShowLogin(bool show);

    SettingsStore& m_settings;
    AccountSession& m_session;
    LoginViewModel& m_login;
    bool m_appeared = false;
    MenuItem m_selected = MenuItem::Dashboard;
    bool m_isLoggedIn = false;
    QString m_userPhone;
    bool m_showLoginView = false;
    bool m_showOnboarding = false;
    OnboardingStep m_onboardingStep = OnboardingStep::Welcome;
};

} // namespace velnor
