#include "dictation/DictationFixture.h"

using namespace velnor;
using namespace velnor::test;

namespace {

class Delivery : public DictationTest {
protected:
    // No key went down yet: the controller's current dictation is the first.
    static constexpr DictationId kCurrent = 0;

    ResultDelivery& delivery() { return controller->delivery(); }

    void deliverFileResult(const RecognizeAudioFileResponse& r)
    {
        delivery().handleSuccessfulRecognition(kCurrent, r, workspace.frontApp);
    }
};

} // namespace

TEST_F(Delivery, WhitespaceOnlyRealtimeTextTypesNothing)
{
    delivery().handleRealtimeRecognitionResult(kCurrent, QStringLiteral("  \n "));
    EXPECT_TRUE(log.contains(QStringLiteral("❌ 识别结果为空，重置状态")));
    EXPECT_TRUE(sounds.played.isEmpty());
    advance(0.1);
    EXPECT_EQ(sounds.played.size(), 1);
    EXPECT_TRUE(adjustment.adjustments.isEmpty());
    EXPECT_TRUE(textInput.typed.isEmpty());
}

TEST_F(Delivery, CorrectionOutcomesDecideWhatIsTyped)
{
    struct Case {
        const char* name;
        std::optional<Result<AdjustTextResponse, ServiceError>> answer;
        QString typed;
    };
    AdjustTextResponse withText;
    withText.text = QStringLiteral("Corrected.");
    AdjustTextResponse withoutText;
    AdjustTextResponse emptyText;
    emptyText.text = QString();
    const QList<Case> cases = {
        {"corrected", Result<AdjustTextResponse, ServiceError>::success(withText), QStringLiteral("Corrected.")},
        {"no text", Result<AdjustTextResponse, ServiceError>::success(withoutText), QStringLiteral(" raw text")},
        {"empty text", Result<AdjustTextResponse, ServiceError>::success(emptyText), QString()},
        {"failure", Result<AdjustTextResponse, ServiceError>::failure(networkError()), QStringLiteral(" raw text")},
    };
    for (const Case& c : cases) {
        adjustment.adjustments.clear();
        textInput.typed.clear();
        delivery().handleRealtimeRecognitionResult(kCurrent, QStringLiteral(" raw text"));
        advance(0.1);
        ASSERT_EQ(adjustment.adjustments.size(), 1) << c.name;
        // The untrimmed text goes to correction.
        EXPECT_EQ(adjustment.adjustments.first().params.text, QStringLiteral(" raw text")) << c.name;
        adjustment.adjustments.first().answer(*c.answer);
        EXPECT_EQ(textInput.typed, QStringList{c.typed}) << c.name;
    }
    EXPECT_TRUE(log.contains(QStringLiteral("❌ 文本校对失败: 网络请求失败: connection refused，使用原始文本")));
    EXPECT_EQ(log.levelOf(QStringLiteral("❌ 文本校对失败: 网络请求失败: connection refused，使用原始文本")),
              QStringLiteral("WARNING"));
}

TEST_F(Delivery, CorrectionCarriesTheFrontApplicationAndLanguage)
{
    settings.setString(SettingsKey::OutputLanguage, QStringLiteral("default"));
    workspace.frontApp = FrontAppInfo{std::nullopt, QStringLiteral("Terminal"), 9};
    delivery().adjustAndInputRealtimeText(kCurrent, QStringLiteral("hi"));
    ASSERT_EQ(adjustment.adjustments.size(), 1);
    const AdjustTextParams& sent = adjustment.adjustments.first().params;
    EXPECT_EQ(sent.appID, std::nullopt);
    EXPECT_EQ(sent.appName, QStringLiteral("Terminal"));
    EXPECT_EQ(sent.outLanguage, std::nullopt);
    EXPECT_TRUE(log.contains(QStringLiteral("📱 当前前台应用: Terminal, Bundle ID: 未知")));
    EXPECT_TRUE(log.contains(QStringLiteral("🌐 输出语言设置: 默认")));

    workspace.frontApp = std::nullopt;
    delivery().adjustAndInputRealtimeText(kCurrent, QStringLiteral("hi"));
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ 无法获取前台应用信息")));
}

TEST_F(Delivery, TypingThatCompletesLaterStillResetsAfterwards)
{
    textInput.deferCompletion = true;
    delivery().adjustAndInputRealtimeText(kCurrent, QStringLiteral("hello"));
    adjustment.adjustments.first().answer(Result<AdjustTextResponse, ServiceError>::failure(networkError()));
    EXPECT_TRUE(sounds.played.isEmpty()) << "the end sound follows the typing";
    textInput.completePending();
    EXPECT_EQ(sounds.played.size(), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ 实时识别文本输入完成: [hello], 应用信息: [\"appName\": \"Editor\", "
                                            "\"bundleId\": \"org.example.editor\", \"processId\": \"4242\"], 输入方式: accessibility")));
}

TEST_F(Delivery, EmptyFileResultFinishesSilently)
{
    deliverFileResult(response(QString()));
    EXPECT_TRUE(indicator.calls.contains(QStringLiteral("finishRecognizing")));
    EXPECT_EQ(log.levelOf(QStringLiteral("识别文本为空")), QStringLiteral("WARNING"));
    advance(1.0);
    EXPECT_TRUE(textInput.typed.isEmpty());
    EXPECT_TRUE(sounds.played.isEmpty());
    EXPECT_TRUE(recognition.updates.isEmpty());
}

TEST_F(Delivery, ResultWithoutIdIsTypedWithoutRecordUpdate)
{
    deliverFileResult(response(QStringLiteral("text"), std::nullopt));
    advance(0.1);
    EXPECT_EQ(textInput.typed, QStringList{QStringLiteral("text")});
    EXPECT_TRUE(recognition.updates.isEmpty());
}

TEST_F(Delivery, FailedTypingStillReportsTheMethodUnknown)
{
    textInput.method = TextInputMethod::Unknown;
    workspace.frontApp = std::nullopt;
    deliverFileResult(response(QStringLiteral("text")));
    advance(0.1);
    ASSERT_EQ(recognition.updates.size(), 1);
    EXPECT_EQ(recognition.updates.first().params.textInputMethod, QStringLiteral("unknown"));
    EXPECT_EQ(recognition.updates.first().params.appID, std::nullopt);
    recognition.updates.first().answer(Result<bool, ServiceError>::success(false));
    EXPECT_EQ(log.levelOf(QStringLiteral("更新语音识别记录失败: rec-1")), QStringLiteral("WARNING"));
}

TEST_F(Delivery, OverOverNeedsBothTheSettingAndTheBackendFlag)
{
    deliverFileResult(response(QStringLiteral("send it"), QStringLiteral("r"), true));
    EXPECT_TRUE(log.contains(QStringLiteral("🚫 over_over未触发 - 功能启用: false, over_over值: true")));
    settings.setString(SettingsKey::OverOverEnable, QStringLiteral("true"));
    deliverFileResult(response(QStringLiteral("send it"), QStringLiteral("r")));
    EXPECT_TRUE(log.contains(QStringLiteral("🚫 over_over未触发 - 功能启用: true, over_over值: nil")));
    advance(2.0);
    EXPECT_TRUE(keys.posted.isEmpty());
}

TEST_F(Delivery, OverOverPressesEnterAfterTheTextAndLogsAFocusChange)
{
    settings.setString(SettingsKey::OverOverEnable, QStringLiteral("true"));
    deliverFileResult(response(QStringLiteral("ship it"), QStringLiteral("r"), true));
    EXPECT_TRUE(log.contains(QStringLiteral("🎯 over_over触发条件满足 - 功能启用: true, over_over值: true, 按键类型: enter")));
    EXPECT_TRUE(log.contains(QStringLiteral("🎯 当前焦点应用: Editor (org.example.editor)")));
    EXPECT_TRUE(log.contains(QStringLiteral("🎯 将在 0.8 秒后模拟按下enter键")));

    advance(0.1);
    workspace.frontApp = FrontAppInfo{QStringLiteral("org.example.chat"), QStringLiteral("Chat"), 77};
    advance(2.0);
    EXPECT_TRUE(log.contains(QStringLiteral("🔑 开始执行模拟按键 - 当前焦点: Chat (org.example.chat)")));
    EXPECT_TRUE(log.contains(QStringLiteral("🔑 焦点是否发生变化: true")));
    ASSERT_EQ(keys.posted.size(), 2) << "pressed into whatever has the focus now";
    EXPECT_EQ(keys.posted.at(0).event, (SyntheticKeyEvent{VirtualKey::Return, true}));
    EXPECT_TRUE(log.contains(QStringLiteral("🔑 模拟按键执行结果: 成功")));
}

TEST_F(Delivery, OverOverEnterFollowsTheTextsWayAndNeverFollowsAFailedInsertion)
{
    // A refused insertion (a password field) or one whose outcome is unknown
    // must not submit: Enter would send the message without the text.
    settings.setString(SettingsKey::OverOverEnable, QStringLiteral("true"));
    struct Case {
        TextInputMethod method;
        bool trusted;
        qsizetype displayKeys;
        qsizetype inputMethodKeysPosted;
    };
    for (const Case& c : {Case{TextInputMethod::Accessibility, true, 2, 0}, Case{TextInputMethod::Clipboard, true, 2, 0},
                          Case{TextInputMethod::InputMethod, false, 0, 2}, Case{TextInputMethod::Unknown, true, 0, 0}}) {
        SCOPED_TRACE(textInputMethodName(c.method).toStdString());
        keys.posted.clear();
        inputMethodKeys.posted.clear();
        textInput.method = c.method;
        trust.trusted = c.trusted;
        deliverFileResult(response(QStringLiteral("ship it"), std::nullopt, true));
        advance(3.0);
        EXPECT_EQ(keys.posted.size(), c.displayKeys);
        EXPECT_EQ(inputMethodKeys.posted.size(), c.inputMethodKeysPosted);
    }
    EXPECT_TRUE(log.contains(QStringLiteral("🔑 文字没有输入成功，不模拟按键")));
    EXPECT_TRUE(log.contains(QStringLiteral("🔑 文字经由输入法输入，回车键也经由输入法发送")));
}

TEST_F(Delivery, OverOverEnterWaitsForTheTextToBeInTheField)
{
    // Enter goes out at the later of decision + 0.8 s and the end of the
    // insertion; an insertion that is still running would otherwise send an
    // empty or half-typed message.
    settings.setString(SettingsKey::OverOverEnable, QStringLiteral("true"));
    struct Case {
        double insertionTakes;
        qint64 enterAtMs;
    };
    for (const Case& c : {Case{0.0, 800}, Case{0.5, 800}, Case{1.4, 1500}}) {
        keys.posted.clear();
        const qint64 start = scheduler.now().count();
        textInput.deferCompletion = true;
        deliverFileResult(response(QStringLiteral("ship it"), std::nullopt, true));
        advance(0.1);
        ASSERT_EQ(textInput.typed.size(), 1);
        advance(c.insertionTakes);
        textInput.completePending();
        advance(2.0);
        ASSERT_EQ(keys.posted.size(), 2) << c.insertionTakes;
        EXPECT_EQ(keys.posted.first().atMs - start, c.enterAtMs) << c.insertionTakes;
        textInput.typed.clear();
    }
}
