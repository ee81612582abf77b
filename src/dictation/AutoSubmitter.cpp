#include "dictation/AutoSubmitter.h"

#include "config/SettingsReaders.h"
#include "core/Scheduler.h"
#include "dictation/LogText.h"
#include "log/Logger.h"
#include "platform/AccessibilityTrust.h"
#include "platform/KeySynthesizer.h"
#include "platform/Workspace.h"

#include <array>

namespace velnor {

namespace {
constexpr Duration kRetryPause = seconds(0.2);
constexpr Duration kAfterAttemptPause = seconds(0.2);
constexpr Duration kEnterHold = seconds(0.1);
constexpr Duration kModifierToReturn = seconds(0.02);
constexpr Duration kReturnHold = seconds(0.05);
constexpr Duration kReturnToModifierUp = seconds(0.02);
} // namespace

AutoSubmitter::AutoSubmitter(const SettingsStore& settings, Scheduler& scheduler, Logger& log, KeySynthesizer& keys,
                             const AccessibilityTrust& trust, const Workspace& workspace,
                             KeySynthesizer* inputMethodKeys)
    : m_settings(settings)
    , m_scheduler(scheduler)
    , m_log(log)
    , m_keys(keys)
    , m_trust(trust)
    , m_workspace(workspace)
    , m_inputMethodKeys(inputMethodKeys)
{
}

void AutoSubmitter::simulateEnterKey(Completion completion, bool throughInputMethod)
{
    const QString keyType = settings::overOverKeyType(m_settings);
    m_log.info(QStringLiteral("🔑 simulateEnterKey被调用 - 按键类型: ") + keyType);
    Route route = displayRoute();
    if (throughInputMethod && m_inputMethodKeys && m_inputMethodKeys->isAvailable()) {
        m_log.info(QStringLiteral("🔑 文字经由输入法输入，回车键也经由输入法发送"));
        route = Route{m_inputMethodKeys, false};
    } else {
        const bool trusted = m_trust.isProcessTrusted();
        m_log.info(QStringLiteral("🔑 辅助功能权限状态: ") + logtext::flag(trusted));
        if (!trusted) {
            m_log.error(QStringLiteral("🔑 模拟按键失败：缺少辅助功能权限"));
            completion(false);
            return;
        }
    }
    pressWithRetry(route, keyType, 3, [this, completion](bool posted) {
        m_log.info(QStringLiteral("🔑 simulateEnterKey最终结果: ") + logtext::flag(posted));
        completion(posted);
    });
}

void AutoSubmitter::simulateKeyPressWithRetry(const QString& keyType, int maxRetries, Completion completion)
{
    pressWithRetry(displayRoute(), keyType, maxRetries, std::move(completion));
}

void AutoSubmitter::pressWithRetry(Route route, const QString& keyType, int maxRetries, Completion completion)
{
    m_log.info(QStringLiteral("🔁 开始重试机制模拟按键 - 类型: ") + keyType + QStringLiteral(", 最大重试次数: ")
               + QString::number(maxRetries));
    attempt(route, keyType, 1, std::max(1, maxRetries), std::move(completion));
}

void AutoSubmitter::attempt(Route route, const QString& keyType, int attemptNumber, int maxRetries,
                            Completion completion)
{
    m_log.info(QStringLiteral("🔁 第") + QString::number(attemptNumber) + QStringLiteral("次尝试 - 当前焦点应用: ")
               + frontAppDescription());
    pressOnce(route, keyType, [this, guard = m_lifetime.guard(), route, keyType, attemptNumber, maxRetries,
                               completion](bool posted) {
        if (guard.expired())
            return;
        if (posted) {
            m_log.info(QStringLiteral("✅ 模拟按键成功，尝试次数: ") + QString::number(attemptNumber));
            completion(true);
            return;
        }
        if (attemptNumber < maxRetries) {
            m_log.warning(QStringLiteral("❌ 第") + QString::number(attemptNumber)
                          + QStringLiteral("次模拟按键失败，将在 0.2 秒后重试"));
            m_scheduler.after(kRetryPause, [this, guard, route, keyType, attemptNumber, maxRetries, completion] {
                if (!guard.expired())
                    attempt(route, keyType, attemptNumber + 1, maxRetries, completion);
            });
            return;
        }
        m_log.error(QStringLiteral("❌ 模拟按键最终失败，已尝试 ") + QString::number(maxRetries) + QStringLiteral(" 次"));
        completion(false);
    });
}

void AutoSubmitter::simulateKeyPress(const QString& keyType, Completion completion)
{
    pressOnce(displayRoute(), keyType, std::move(completion));
}

void AutoSubmitter::pressOnce(Route route, const QString& keyType, Completion completion)
{
    m_log.info(QStringLiteral("⌨️ simulateKeyPress开始 - 按键类型: ") + keyType);
    if (route.needsTrust && !m_trust.isProcessTrusted()) {
        m_log.error(QStringLiteral("⌨️ 模拟按键失败：缺少辅助功能权限"));
        completion(false);
        return;
    }
    const std::shared_ptr<KeyEventSource> source = route.keys->createEventSource();
    if (!source) {
        m_log.error(QStringLiteral("⌨️ 模拟按键失败：无法创建事件源"));
        completion(false);
        return;
    }
    m_log.info(QStringLiteral("⌨️ 事件源创建成功，开始执行按键模拟"));

    auto finish = [this, guard = m_lifetime.guard(), completion](bool posted) {
        if (guard.expired())
            return;
        m_log.info(QStringLiteral("⌨️ 按键模拟执行完成，结果: ") + logtext::flag(posted)
                   + QStringLiteral("，等待0.2秒确保事件被处理"));
        m_scheduler.after(kAfterAttemptPause, [guard, completion, posted] {
            if (!guard.expired())
                completion(posted);
        });
    };

    if (keyType == QStringLiteral("shift_enter")) {
        m_log.info(QStringLiteral("⌨️ 执行Shift+Enter组合键"));
        simulateShiftEnter(source, finish);
    } else if (keyType == QStringLiteral("ctrl_enter")) {
        m_log.info(QStringLiteral("⌨️ 执行Ctrl+Enter组合键"));
        simulateCtrlEnter(source, finish);
    } else {
        m_log.info(QStringLiteral("⌨️ 执行普通Enter键"));
        simulateEnter(source, finish);
    }
}

void AutoSubmitter::simulateEnter(const std::shared_ptr<KeyEventSource>& source, Completion completion)
{
    m_log.info(QStringLiteral("⏎ 开始模拟普通Enter键"));
    const auto down = source->createKeyboardEvent(VirtualKey::Return, true);
    const auto up = source->createKeyboardEvent(VirtualKey::Return, false);
    if (!down || !up) {
        m_log.error(QStringLiteral("⏎ 模拟回车键失败：无法创建键盘事件 (virtualKey: 0x24)"));
        completion(false);
        return;
    }
    m_log.info(QStringLiteral("⏎ 键盘事件创建成功，开始发送按键事件"));
    m_log.info(QStringLiteral("⏎ 发送KeyDown事件使用tap: .cgAnnotatedSessionEventTap"));
    source->post(*down);
    // Down and up go out together: were the release a scheduled step, a
    // stalled event loop would hold Return past the autorepeat delay and
    // submit several times. The hold becomes a pause after the release.
    m_log.info(QStringLiteral("⏎ 发送KeyUp事件使用tap: .cgAnnotatedSessionEventTap"));
    source->post(*up);
    m_scheduler.after(kEnterHold, [this, guard = m_lifetime.guard(), completion] {
        if (guard.expired())
            return;
        m_log.info(QStringLiteral("⏎ 模拟回车键按下完成"));
        completion(true);
    });
}

void AutoSubmitter::simulateCtrlEnter(const std::shared_ptr<KeyEventSource>& source, Completion completion)
{
    simulateModifierEnter(source, VirtualKey::LeftControl, QStringLiteral("Ctrl"), std::move(completion));
}

void AutoSubmitter::simulateShiftEnter(const std::shared_ptr<KeyEventSource>& source, Completion completion)
{
    simulateModifierEnter(source, VirtualKey::LeftShift, QStringLiteral("Shift"), std::move(completion));
}

void AutoSubmitter::simulateModifierEnter(const std::shared_ptr<KeyEventSource>& source, int modifierKey,
                                          const QString& comboName, Completion completion)
{
    const std::array<std::optional<SyntheticKeyEvent>, 4> events = {
        source->createKeyboardEvent(modifierKey, true), source->createKeyboardEvent(VirtualKey::Return, true),
        source->createKeyboardEvent(VirtualKey::Return, false), source->createKeyboardEvent(modifierKey, false)};
    for (const auto& event : events) {
        if (!event) {
            m_log.error(QStringLiteral("模拟") + comboName + QStringLiteral("+回车键失败：无法创建键盘事件"));
            completion(false);
            return;
        }
    }

    // Steps run whatever happens to this object, so the modifier is always
    // released; the scheduler outlives every submitter. Return goes down and
    // up in one step (a stall must not autorepeat it); only the modifier is held.
    Scheduler& scheduler = m_scheduler;
    source->post(*events[0]);
    scheduler.after(kModifierToReturn, [this, &scheduler, guard = m_lifetime.guard(), source, events, comboName,
                                        completion] {
        source->post(*events[1]);
        source->post(*events[2]);
        scheduler.after(kReturnHold + kReturnToModifierUp, [this, guard, source, events, comboName, completion] {
            source->post(*events[3]);
            if (guard.expired())
                return;
            m_log.info(QStringLiteral("模拟") + comboName + QStringLiteral("+回车键按下完成"));
            completion(true);
        });
    });
}

QString AutoSubmitter::frontAppDescription() const
{
    const auto app = m_workspace.frontmostApplication();
    const auto name = app ? app->localizedName : std::nullopt;
    const auto bundleId = app ? app->bundleId : std::nullopt;
    return logtext::unknownIfAbsent(name) + QStringLiteral(" (") + logtext::unknownIfAbsent(bundleId)
        + QLatin1Char(')');
}

} // namespace velnor
