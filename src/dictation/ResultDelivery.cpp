#include "dictation/ResultDelivery.h"

#include "backend/FileRecognitionService.h"
#include "config/SettingsReaders.h"
#include "core/Clock.h"
#include "core/Graphemes.h"
#include "core/Scheduler.h"
#include "dictation/AutoSubmitter.h"
#include "dictation/DictationObserver.h"
#include "dictation/DictationSounds.h"
#include "dictation/LogText.h"
#include "log/Logger.h"
#include "platform/Workspace.h"
#include "textinput/TextInput.h"
#include "ui/Indicator.h"

#include <utility>

namespace velnor {

namespace {
constexpr Duration kBeforeTyping = seconds(0.1);
constexpr Duration kBeforeAutoSubmit = seconds(0.8);
} // namespace

// The submit key goes out at the later of two moments: the auto-submit delay
// elapsed, and the text is in the field. Insertion completes asynchronously
// (an AT-SPI write, a paste the target has to fetch); pressing Enter before it
// would send an empty or half-typed message. Text that did not go in (a
// password field refused it, the outcome is unknown) sends nothing: Enter
// would submit a message without it.
class ResultDelivery::SubmitGate final {
public:
    using Press = std::function<void(TextInputMethod insertedBy)>;

    explicit SubmitGate(Press press)
        : m_press(std::move(press))
    {
    }

    void delayElapsed()
    {
        m_delayElapsed = true;
        pressWhenReady();
    }

    // Returns false when the insertion failed and nothing will be pressed.
    bool textInserted(TextInputMethod method)
    {
        if (method == TextInputMethod::Unknown) {
            m_press = {};
            return false;
        }
        m_insertedBy = method;
        pressWhenReady();
        return true;
    }

    bool waitsForText() const { return m_delayElapsed && !m_insertedBy && m_press; }

private:
    void pressWhenReady()
    {
        if (m_delayElapsed && m_insertedBy && m_press)
            std::exchange(m_press, {})(*m_insertedBy);
    }

    Press m_press;
    bool m_delayElapsed = false;
    std::optional<TextInputMethod> m_insertedBy;
};

ResultDelivery::ResultDelivery(Collaborators collaborators, std::function<void(DictationId)> resetRecognitionState,
                               DictationObserver* observer)
    : m_with(std::move(collaborators))
    , m_resetRecognitionState(std::move(resetRecognitionState))
    , m_observer(observer)
{
}

void ResultDelivery::reportDelivered(DictationId dictation, const QString& recognized, const QString& corrected,
                                     TextInputMethod method)
{
    if (m_observer)
        m_observer->delivered(dictation, recognized, corrected, textInputMethodName(method));
}

void ResultDelivery::reportFailed(DictationId dictation, const QString& errorText)
{
    if (m_observer)
        m_observer->failed(dictation, errorText);
}

void ResultDelivery::handleRealtimeRecognitionResult(DictationId dictation, const QString& text)
{
    m_with.log.info(QStringLiteral("🎯 开始处理实时识别结果: [") + text + QStringLiteral("], 长度: ")
                    + QString::number(graphemeCount(text)) + QStringLiteral(", 时间: ")
                    + m_with.clock.now().toString(Qt::ISODateWithMs));
    const auto guard = m_lifetime.guard();
    if (text.trimmed().isEmpty()) {
        m_with.log.info(QStringLiteral("❌ 识别结果为空，重置状态"));
        reportFailed(dictation, QStringLiteral("识别结果为空"));
        m_with.scheduler.after(kBeforeTyping, [this, guard, dictation] {
            if (!guard.expired())
                m_resetRecognitionState(dictation);
        });
        return;
    }
    m_with.log.info(QStringLiteral("✅ 实时识别成功，开始校对实时识别文本: [") + text + QLatin1Char(']'));
    m_with.scheduler.after(kBeforeTyping, [this, guard, dictation, text] {
        if (!guard.expired())
            adjustAndInputRealtimeText(dictation, text);
    });
}

void ResultDelivery::adjustAndInputRealtimeText(DictationId dictation, const QString& text)
{
    m_with.log.info(QStringLiteral("📝 开始校对和输入实时识别文本: [") + text + QLatin1Char(']'));
    const std::optional<FrontAppInfo> app = m_with.textInput.getFrontmostApp();
    if (app) {
        m_with.log.info(QStringLiteral("📱 当前前台应用: ") + logtext::unknownIfAbsent(app->localizedName)
                        + QStringLiteral(", Bundle ID: ") + logtext::unknownIfAbsent(app->bundleId));
    } else {
        m_with.log.warning(QStringLiteral("⚠️ 无法获取前台应用信息"));
    }
    const std::optional<QString> language = settings::outputLanguage(m_with.settings);
    m_with.log.info(QStringLiteral("🌐 输出语言设置: ") + logtext::orPlaceholder(language, QStringLiteral("默认")));

    m_with.log.info(QStringLiteral("🔄 开始调用文本校对服务..."));
    AdjustTextParams params{text, app ? app->bundleId : std::nullopt, app ? app->localizedName : std::nullopt,
                            m_with.osType, language};
    m_with.adjuster.adjustText(params, [this, guard = m_lifetime.guard(), dictation,
                                        text](Result<AdjustTextResponse, ServiceError> result) {
        if (guard.expired())
            return;
        QString chosen = text;
        if (!result) {
            m_with.log.warning(QStringLiteral("❌ 文本校对失败: ") + result.error().description
                               + QStringLiteral("，使用原始文本"));
        } else {
            chosen = result.value().text.value_or(text);
            m_with.log.info(QStringLiteral("✅ 文本校对成功，原文: '[") + text + QStringLiteral("]' -> 校对后: '[")
                            + chosen + QStringLiteral("]'"));
        }
        // Typing on this desktop completes asynchronously; the reset (and its
        // end sound) follows the typing as it does when typing is immediate.
        performRealtimeTextInput(chosen, [this, guard, dictation, text, chosen](TextInputMethod method) {
            if (guard.expired())
                return;
            reportDelivered(dictation, text, chosen, method);
            m_with.log.info(QStringLiteral("🔄 校对完成，重置识别状态"));
            m_resetRecognitionState(dictation);
        });
    });
}

void ResultDelivery::performRealtimeTextInput(const QString& text, std::function<void(TextInputMethod)> done)
{
    m_with.log.info(QStringLiteral("⌨️ 开始执行实时文本输入: [") + text + QStringLiteral("], 长度: ")
                    + QString::number(graphemeCount(text)));
    m_with.textInput.inputTextToFocusedField(text, [this, guard = m_lifetime.guard(), text, done](const InsertionResult& result) {
        if (guard.expired())
            return;
        m_with.log.info(QStringLiteral("✅ 实时识别文本输入完成: [") + text + QStringLiteral("], 应用信息: ")
                        + logtext::describeMap(result.info) + QStringLiteral(", 输入方式: ")
                        + textInputMethodName(result.method));
        done(result.method);
    });
}

void ResultDelivery::handleSuccessfulRecognition(DictationId dictation, const RecognizeAudioFileResponse& response,
                                                 const std::optional<FrontAppInfo>& frontApp)
{
    // The front application of the upload is not needed beyond this point:
    // the record update reports the application the text actually went to.
    Q_UNUSED(frontApp);
    m_with.indicator.finishRecognizing();
    if (!response.text || response.text->isEmpty()) {
        m_with.log.warning(QStringLiteral("识别文本为空"));
        reportFailed(dictation, QStringLiteral("识别文本为空"));
        return;
    }
    const QString text = *response.text;
    m_with.log.info(QStringLiteral("传统识别模式：直接输入文本: ") + text);
    const std::shared_ptr<SubmitGate> submit = decideOverOver(response);
    m_with.scheduler.after(kBeforeTyping, [this, guard = m_lifetime.guard(), dictation, text, response, submit] {
        if (guard.expired())
            return;
        performTextInput(dictation, text, response, [this, submit](TextInputMethod method) {
            if (submit && !submit->textInserted(method))
                m_with.log.warning(QStringLiteral("🔑 文字没有输入成功，不模拟按键"));
        });
    });
}

std::shared_ptr<ResultDelivery::SubmitGate> ResultDelivery::decideOverOver(const RecognizeAudioFileResponse& response)
{
    const bool enabled = settings::overOverEnabled(m_with.settings);
    if (!enabled || response.overOver != true) {
        const QString value = response.overOver ? logtext::flag(*response.overOver) : QStringLiteral("nil");
        m_with.log.info(QStringLiteral("🚫 over_over未触发 - 功能启用: ") + logtext::flag(enabled)
                        + QStringLiteral(", over_over值: ") + value);
        return nullptr;
    }

    const QString keyType = settings::overOverKeyType(m_with.settings);
    const std::optional<FrontAppInfo> before = m_with.workspace.frontmostApplication();
    const std::optional<QString> beforeId = before ? before->bundleId : std::nullopt;
    m_with.log.info(QStringLiteral("🎯 over_over触发条件满足 - 功能启用: true, over_over值: true, 按键类型: ") + keyType);
    m_with.log.info(QStringLiteral("🎯 当前焦点应用: ")
                    + logtext::unknownIfAbsent(before ? before->localizedName : std::nullopt) + QStringLiteral(" (")
                    + logtext::unknownIfAbsent(beforeId) + QLatin1Char(')'));
    m_with.log.info(QStringLiteral("🎯 将在 0.8 秒后模拟按下") + keyType + QStringLiteral("键"));

    auto submit = std::make_shared<SubmitGate>([this, guard = m_lifetime.guard(), beforeId](TextInputMethod insertedBy) {
        if (!guard.expired())
            pressSubmitKey(beforeId, insertedBy);
    });
    m_with.scheduler.after(kBeforeAutoSubmit, [this, guard = m_lifetime.guard(), submit] {
        if (guard.expired())
            return;
        submit->delayElapsed();
        if (submit->waitsForText())
            m_with.log.info(QStringLiteral("🔑 文本尚未输入完成，输入完成后再模拟按键"));
    });
    return submit;
}

void ResultDelivery::pressSubmitKey(const std::optional<QString>& beforeId, TextInputMethod insertedBy)
{
    const std::optional<FrontAppInfo> now = m_with.workspace.frontmostApplication();
    const std::optional<QString> nowId = now ? now->bundleId : std::nullopt;
    const bool changed = beforeId != nowId;
    m_with.log.info(QStringLiteral("🔑 开始执行模拟按键 - 当前焦点: ")
                    + logtext::unknownIfAbsent(now ? now->localizedName : std::nullopt) + QStringLiteral(" (")
                    + logtext::unknownIfAbsent(nowId) + QLatin1Char(')'));
    m_with.log.info(QStringLiteral("🔑 焦点是否发生变化: ") + logtext::flag(changed));
    m_with.autoSubmitter.simulateEnterKey(
        [this, guard = m_lifetime.guard()](bool posted) {
            if (!guard.expired())
                m_with.log.info(QStringLiteral("🔑 模拟按键执行结果: ")
                                + (posted ? QStringLiteral("成功") : QStringLiteral("失败")));
        },
        insertedBy == TextInputMethod::InputMethod);
}

void ResultDelivery::performTextInput(DictationId dictation, const QString& text,
                                      const RecognizeAudioFileResponse& response,
                                      std::function<void(TextInputMethod)> inserted)
{
    m_with.textInput.inputTextToFocusedField(text, [this, guard = m_lifetime.guard(), dictation, text, response,
                                                    inserted = std::move(inserted)](const InsertionResult& result) {
        if (guard.expired())
            return;
        // File recognition returns the text already corrected.
        reportDelivered(dictation, text, text, result.method);
        if (inserted)
            inserted(result.method);
        if (!response.id)
            return;
        const bool known = !result.info.isEmpty();
        updateRecognizeRecord(*response.id,
                              known ? std::optional<QString>(result.info.value(QStringLiteral("bundleId"))) : std::nullopt,
                              known ? std::optional<QString>(result.info.value(QStringLiteral("appName"))) : std::nullopt,
                              textInputMethodName(result.method), m_with.osType);
    });
}

void ResultDelivery::updateRecognizeRecord(const QString& id, const std::optional<QString>& appID,
                                           const std::optional<QString>& appName, const QString& textInputMethod,
                                           const QString& osType)
{
    RecognizeRecordUpdateReq request{id, appID, appName, textInputMethod, osType};
    m_with.records.updateRecognizeRecord(request, [this, guard = m_lifetime.guard(), id](Result<bool, ServiceError> result) {
        if (guard.expired())
            return;
        if (!result)
            m_with.log.warning(QStringLiteral("更新语音识别记录出错: ") + result.error().toString());
        else if (result.value())
            m_with.log.info(QStringLiteral("更新语音识别记录成功: ") + id);
        else
            m_with.log.warning(QStringLiteral("更新语音识别记录失败: ") + id);
    });
}

void ResultDelivery::handleFailedRecognition(DictationId dictation, const ServiceError& error)
{
    m_with.indicator.finishRecognizing();
    m_with.sounds.play();
    m_with.log.error(QStringLiteral("语音识别失败: ") + error.toString());
    reportFailed(dictation, error.description.isEmpty() ? error.toString() : error.description);
}

} // namespace velnor
