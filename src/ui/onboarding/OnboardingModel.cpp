#include "ui/onboarding/OnboardingModel.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "ui/onboarding/AccessibilityBus.h"
#include "ui/onboarding/PermissionManager.h"

#include <QPointer>

namespace velnor {

namespace {
QString key(const char* name)
{
    return QString::fromLatin1(name);
}
constexpr Duration kPause = seconds(0.5);
} // namespace

OnboardingModel::OnboardingModel(SettingsStore& settings, Scheduler& mainQueue, PermissionManager& permissions,
                                 Relaunch relaunch, OnboardingStep initialStep, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_mainQueue(mainQueue)
    , m_permissions(permissions)
    , m_relaunch(std::move(relaunch))
    , m_step(initialStep)
{
}

OnboardingModel::~OnboardingModel()
{
    m_poll.cancel();
    m_pendingStep.cancel();
}

bool OnboardingModel::shouldShowAtFirstAppearance(SettingsStore& settings)
{
    if (settings.boolean(key(SettingsKey::NeedsRestartAfterPermissions))) {
        settings.remove(key(SettingsKey::NeedsRestartAfterPermissions));
        return true;
    }
    return !settings.boolean(key(SettingsKey::OnboardingCompleted));
}

void OnboardingModel::appear()
{
    QPointer<OnboardingModel> self(this);
    m_permissions.checkAccessibility([self](bool enabled) {
        if (!self || self->m_hasAccessibility == enabled)
            return;
        self->m_hasAccessibility = enabled;
        emit self->changed();
    });
    m_hasMicrophone = m_permissions.isMicrophoneAuthorized();
    if (m_settings.boolean(key(SettingsKey::WasAccessibilityJustSet))) {
        m_wasAccessibilityJustSet = true;
        m_settings.remove(key(SettingsKey::WasAccessibilityJustSet));
    }
    emit changed();
}

void OnboardingModel::goTo(OnboardingStep step)
{
    m_pendingStep.cancel();
    if (step != OnboardingStep::Accessibility)
        stopPoll();
    m_step = step;
    m_errorText.clear();
    emit changed();
}

void OnboardingModel::goToAfterPause(OnboardingStep step)
{
    m_pendingStep.cancel();
    QPointer<OnboardingModel> self(this);
    m_pendingStep = m_mainQueue.after(kPause, [self, step] {
        if (self)
            self->goTo(step);
    });
}

void OnboardingModel::beginSetup()
{
    goTo(OnboardingStep::Accessibility);
}

void OnboardingModel::openAccessibilitySettings()
{
    QPointer<OnboardingModel> self(this);
    m_permissions.enableAccessibility([self](const std::optional<QString>& error) {
        if (!self || !error)
            return;
        self->m_errorText = QStringLiteral("无法开启辅助功能: ") + *error;
        emit self->changed();
    });
    if (isWaitingForAccessibility())
        return;
    schedulePoll();
    emit changed();
}

void OnboardingModel::schedulePoll()
{
    m_polling = true;
    QPointer<OnboardingModel> self(this);
    m_poll = m_mainQueue.after(kPause, [self] {
        if (self)
            self->pollAccessibility();
    });
}

void OnboardingModel::stopPoll()
{
    m_polling = false;
    m_poll.cancel();
}

void OnboardingModel::pollAccessibility()
{
    // The next tick is planned when this answer is in: never two checks at once.
    QPointer<OnboardingModel> self(this);
    m_permissions.checkAccessibility([self](bool granted) {
        if (self && self->m_polling)
            self->accessibilityPolled(granted);
    });
}

void OnboardingModel::accessibilityPolled(bool granted)
{
    if (granted != m_hasAccessibility) {
        m_hasAccessibility = granted;
        emit changed();
    }
    if (!granted) {
        schedulePoll();
        return;
    }
    m_polling = false;
    m_settings.setBool(key(SettingsKey::WasAccessibilityJustSet), true);
    m_wasAccessibilityJustSet = true;
    emit changed();
    goToAfterPause(OnboardingStep::Microphone);
}

void OnboardingModel::continueToMicrophone()
{
    goTo(OnboardingStep::Microphone);
}

void OnboardingModel::grantMicrophone()
{
    QPointer<OnboardingModel> self(this);
    m_permissions.requestMicrophone([self](bool granted) {
        if (!self)
            return;
        self->m_hasMicrophone = granted;
        const QString problem = self->m_permissions.microphoneProblem();
        self->m_errorText = granted ? QString()
            : QStringLiteral("未检测到可用的麦克风，请连接麦克风后重试")
                + (problem.isEmpty() ? QString() : QStringLiteral("（") + problem + QStringLiteral("）"));
        emit self->changed();
        if (granted)
            self->goToAfterPause(self->m_wasAccessibilityJustSet ? OnboardingStep::Restart : OnboardingStep::Complete);
    });
}

void OnboardingModel::restartNow()
{
    m_settings.setBool(key(SettingsKey::NeedsRestartAfterPermissions), true);
    const std::optional<QString> error = m_relaunch ? m_relaunch() : std::optional<QString>(QStringLiteral("不支持"));
    if (!error)
        return;
    // Still running: no restart is pending, and the user may finish without one.
    m_settings.remove(key(SettingsKey::NeedsRestartAfterPermissions));
    m_errorText = QStringLiteral("重启失败: ") + *error + QStringLiteral("，请稍后手动重启应用");
    emit changed();
}

void OnboardingModel::continueWithoutRestart()
{
    goTo(OnboardingStep::Complete);
}

void OnboardingModel::finish()
{
    m_settings.setBool(key(SettingsKey::OnboardingCompleted), true);
    m_settings.remove(key(SettingsKey::WasAccessibilityJustSet));
    stopPoll();
    m_pendingStep.cancel();
    emit finished();
}

} // namespace velnor
