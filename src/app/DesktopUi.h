#pragma once

#include "audio/AudioInputManager.h"
#include "config/LanguageManager.h"
#include "config/LaunchAtLoginSetting.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "ui/common/MessageBoxDialogs.h"
#include "ui/main/MainWindowServices.h"
#include "ui/onboarding/DBusAccessibilityBus.h"
#include "ui/onboarding/PermissionManager.h"

#include <QWidget>

#include <memory>

namespace velnor {

class AudioDevices;
class BackendServices;
class MicrophonePermission;
struct DeploymentConfig;

// What the main window and the onboarding need beyond the dictation core:
// the settings screens' services, the permissions as the onboarding sees
// them, the login item, the product links.
class DesktopUi final {
public:
    struct Dependencies {
        SettingsStore& settings;
        Scheduler& mainQueue;
        Logger& log;
        ConsoleSink console;
        BackendServices& backend;
        AudioDevices& audioDevices;
        MicrophonePermission& microphone;
        const DeploymentConfig& deployment;
        HistoryPageModel::Dependencies history;
        SettingsHooks settingsHooks;
        std::function<void()> quitApp;
        OnboardingModel::Relaunch relaunch;
    };

    explicit DesktopUi(Dependencies dependencies);
    ~DesktopUi();
    DesktopUi(const DesktopUi&) = delete;
    DesktopUi& operator=(const DesktopUi&) = delete;

    std::unique_ptr<QWidget> makeMainWindow();

private:
    Dependencies m_with;
    MessageBoxDialogs m_dialogs;
    DBusAccessibilityBus m_accessibilityBus;
    PermissionManager m_permissions;
    LanguageManager m_languages;
    AudioInputManager m_audioInputs;
    XdgAutostartLoginItem m_loginItem;
    LaunchAtLoginSetting m_launchAtLogin;
    std::unique_ptr<LoginViewModel> m_login;
    MainWindowServices m_services;
};

} // namespace velnor
