#pragma once

#include "core/Scheduler.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace velnor {

class PermissionManager;
class SettingsStore;

enum class OnboardingStep { Welcome, Accessibility, Microphone, Restart, Complete };

// The walk-through's state: which step shows, the permission answers, the
// 0.5 s accessibility poll and the keys that carry it across a restart.
// Main thread only; widgets render it and call its actions.
class OnboardingModel final : public QObject {
    Q_OBJECT
public:
    static constexpr int kStepCount = 5;
    // Starts a new copy of the app and ends this one; an error text when it could not.
    using Relaunch = std::function<std::optional<QString>()>;

    OnboardingModel(SettingsStore& settings, Scheduler& mainQueue, PermissionManager& permissions, Relaunch relaunch,
                    OnboardingStep initialStep = OnboardingStep::Welcome, QObject* parent = nullptr);
    ~OnboardingModel() override;

    // The main window's first-appearance rule: a pending restart shows it (and
    // the flag is removed at once), otherwise it shows until completed.
    static bool shouldShowAtFirstAppearance(SettingsStore& settings);

    OnboardingStep step() const { return m_step; }
    // 1…5, the step's place for the progress bar.
    int stepNumber() const { return static_cast<int>(m_step) + 1; }
    bool hasAccessibilityPermission() const { return m_hasAccessibility; }
    bool hasMicrophonePermission() const { return m_hasMicrophone; }
    bool wasAccessibilityJustSet() const { return m_wasAccessibilityJustSet; }
    bool isWaitingForAccessibility() const { return m_polling; }
    const QString& errorText() const { return m_errorText; }

    // The permission check when the onboarding appears.
    void appear();
    void beginSetup();
    // Enables the desktop's accessibility and polls every 0.5 s for it.
    void openAccessibilitySettings();
    void continueToMicrophone();
    void grantMicrophone();
    void restartNow();
    // After a failed relaunch the user can go on; the grant takes effect at the next start.
    void continueWithoutRestart();
    void finish();

signals:
    void changed();
    void finished();

private:
    void goTo(OnboardingStep step);
    void goToAfterPause(OnboardingStep step);
    void schedulePoll();
    void pollAccessibility();
    void accessibilityPolled(bool granted);
    void stopPoll();

    SettingsStore& m_settings;
    Scheduler& m_mainQueue;
    PermissionManager& m_permissions;
    Relaunch m_relaunch;
    OnboardingStep m_step;
    bool m_hasAccessibility = false;
    bool m_hasMicrophone = false;
    bool m_wasAccessibilityJustSet = false;
    QString m_errorText;
    // Polling until accessibility is on; a check may be on its way meanwhile.
    bool m_polling = false;
    Cancellable m_poll;
    Cancellable m_pendingStep;
};

} // namespace velnor
