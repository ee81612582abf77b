#include "ui/main/MainWindowModel.h"

#include "backend/AccountSession.h"
#include "backend/LoginViewModel.h"
#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"

namespace velnor {

MainWindowModel::MainWindowModel(SettingsStore& settings, AccountSession& session, LoginViewModel& login,
                                 QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_session(session)
    , m_login(login)
{
    connect(&m_session, &AccountSession::changed, this, &MainWindowModel::syncSignedIn);
    connect(&m_session, &AccountSession::loginScreenRequested, this, &MainWindowModel::requestLogin);
    connect(&m_login, &LoginViewModel::changed, this, [this] {
        // A login that succeeded closes the sheet even when the account data
        // could not be fetched afterwards: the token is stored, the user is in.
        syncSignedIn();
        if (m_showLoginView && m_isLoggedIn)
            setShowLogin(false);
    });
}

void MainWindowModel::syncSignedIn()
{
    const QString token = m_settings.stringOr(QString::fromLatin1(SettingsKey::UserJwt), QString());
    const bool signedIn = !token.isEmpty() && (m_session.isLoggedIn() || m_login.isLoggedIn());
    const QString phone = !signedIn ? QString() : m_session.isLoggedIn() ? m_session.userPhone() : m_login.userPhone();
    if (signedIn == m_isLoggedIn && phone == m_userPhone)
        return;
    m_isLoggedIn = signedIn;
    m_userPhone = phone;
    emit changed();
}

void MainWindowModel::setShowLogin(bool show)
{
    if (m_showLoginView == show)
        return;
    m_showLoginView = show;
    emit changed();
}

void MainWindowModel::firstAppear()
{
    if (m_appeared)
        return;
    m_appeared = true;
    if (OnboardingModel::shouldShowAtFirstAppearance(m_settings)) {
        m_onboardingStep = OnboardingStep::Welcome;
        m_showOnboarding = true;
        emit changed();
    }
    if (m_settings.stringOr(QString::fromLatin1(SettingsKey::UserJwt), QString()).isEmpty())
        requestLogin();
    m_session.checkStoredSession();
}

void MainWindowModel::select(MenuItem item)
{
    if (m_selected == item)
        return;
    m_selected = item;
    emit changed();
}

void MainWindowModel::requestLogin()
{
    // The login model may still believe in a session that was signed out
    // elsewhere; it re-reads the stored keys before the sheet shows.
    m_login.checkLoginStatus();
    setShowLogin(true);
}

void MainWindowModel::logout()
{
    m_login.logout();
    syncSignedIn();
}

void MainWindowModel::openOnboardingAt(OnboardingStep step)
{
    m_onboardingStep = step;
    m_showOnboarding = true;
    emit changed();
}

void MainWindowModel::onboardingFinished()
{
    m_showOnboarding = false;
    emit changed();
}

} // namespace velnor
