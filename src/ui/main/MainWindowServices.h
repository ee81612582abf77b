#pragma once

#include "ui/main/HistoryPageModel.h"
#include "ui/main/SettingsModel.h"
#include "ui/onboarding/OnboardingModel.h"

#include <QUrl>

#include <functional>

namespace velnor {

class AccountNotifications;
class AccountSession;
class AudioInputManager;
class Dialogs;
class HotWordManager;
class LanguageManager;
class LaunchAtLoginSetting;
class Logger;
class LoginViewModel;
class PermissionManager;
class Scheduler;
class SettingsStore;
class UpdateChecker;
class UserManager;

// The product's web pages (deployment values).
struct ProductLinks {
    QUrl website;
    QUrl recharge;
    QUrl userAgreement;
    QUrl privacyPolicy;
};

// Everything the main window's screens drive, handed in by the composition root.
struct MainWindowServices {
    SettingsStore& settings;
    Scheduler& mainQueue;
    Logger& log;
    Dialogs& dialogs;
    AccountNotifications& notifications;
    AccountSession& session;
    LoginViewModel& login;
    UserManager& users;
    HotWordManager& hotWords;
    UpdateChecker& updates;
    AudioInputManager& audioInputs;
    LanguageManager& languages;
    LaunchAtLoginSetting& launchAtLogin;
    PermissionManager& permissions;
    HistoryPageModel::Dependencies history;
    SettingsHooks settingsHooks;
    ProductLinks links;
    std::function<void(const QUrl&)> openUrl;
    // Ends the process at once (the login sheet's quit alert).
    std::function<void()> quitApp;
    OnboardingModel::Relaunch relaunch;
};

} // namespace velnor
