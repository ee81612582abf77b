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

TEST_F(Delivery, TypingThatCompletesLaterStillResetsAfterwards)
{
    // A failed correction types the raw text, untrimmed as it was recognised.
    textInput.deferCompletion = true;
    delivery().handleRealtimeRecognitionResult(kCurrent, QStringLiteral(" hello"));
    advance(0.1);
    EXPECT_EQ(adjustment.adjustments.first().params.text, QStringLiteral(" hello"));
    adjustment.adjustments.first().answer(Result<AdjustTextResponse, ServiceError>::failure(networkError()));
    EXPECT_EQ(log.levelOf(QStringLiteral("❌ 文本校对失败: 网络请求失败: connection refused，使用原始文本")),
              QStringLiteral("WARNING"));
    EXPECT_TRUE(sounds.played.isEmpty()) << "the end sound follows the typing";
    textInput.completePending();
    EXPECT_EQ(sounds.played.size(), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ 实时识别文本输入完成: [ hello], 应用信息: [\"appName\": \"Editor\", "
                                            "\"bundleId\": \"org.example.editor\", \"processId\": \"4242\"], 输入方式: accessibility")));
}

TEST_F(Delivery, FileResultsWithoutTextOrIdAndFailedTyping)
{
    // No text: nothing typed, no end sound, no record update.
    deliverFileResult(response(QString()));
    EXPECT_TRUE(indicator.calls.contains(QStringLiteral("finishRecognizing")));
    EXPECT_EQ(log.levelOf(QStringLiteral("识别文本为空")), QStringLiteral("WARNING"));
    advance(1.0);
    EXPECT_TRUE(textInput.typed.isEmpty());
    EXPECT_TRUE(sounds.played.isEmpty());
    // No record id: typed, but there is no record to update.
    deliverFileResult(response(QStringLiteral("text"), std::nullopt));
    advance(0.1);
    EXPECT_EQ(textInput.typed, QStringList{QStringLiteral("text")});
    EXPECT_TRUE(recognition.updates.isEmpty());

    // Typing that failed still updates the record, with the method unknown.
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

TEST_F(Delivery, OverOverEnterFollowsTheTextsWayAndNeverFollowsAFailedInsertion)
{
    // Enter needs both the setting and the backend's flag. A refused insertion
    // (a password field) or one whose outcome is unknown must not submit:
    // Enter would send the message without the text.
    struct Case {
        const char* name;
        bool enabled;
        std::optional<bool> flag;
        TextInputMethod method;
        bool trusted;
        qsizetype displayKeys;
        qsizetype inputMethodKeysPosted;
    };
    const Case cases[] = {
        {"setting off", false, true, TextInputMethod::Accessibility, true, 0, 0},
        {"no flag", true, std::nullopt, TextInputMethod::Accessibility, true, 0, 0},
        {"accessibility", true, true, TextInputMethod::Accessibility, true, 2, 0},
        {"clipboard", true, true, TextInputMethod::Clipboard, true, 2, 0},
        {"input method", true, true, TextInputMethod::InputMethod, false, 0, 2},
        {"unknown", true, true, TextInputMethod::Unknown, true, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        keys.posted.clear();
        inputMethodKeys.posted.clear();
        settings.setString(SettingsKey::OverOverEnable, c.enabled ? QStringLiteral("true") : QStringLiteral("false"));
        textInput.method = c.method;
        trust.trusted = c.trusted;
        deliverFileResult(response(QStringLiteral("ship it"), std::nullopt, c.flag));
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
    // empty or half-typed message. It goes to whatever has the focus by then.
    settings.setString(SettingsKey::OverOverEnable, QStringLiteral("true"));
    textInput.deferCompletion = true;
    for (const auto& [insertionTakes, enterAtMs] : {std::pair{0.0, 800}, std::pair{0.5, 800}, std::pair{1.4, 1500}}) {
        SCOPED_TRACE(insertionTakes);
        keys.posted.clear();
        const qint64 start = scheduler.now().count();
        deliverFileResult(response(QStringLiteral("ship it"), std::nullopt, true));
        advance(0.1 + insertionTakes);
        workspace.frontApp = FrontAppInfo{QStringLiteral("org.example.chat"), QStringLiteral("Chat"), 77};
        textInput.completePending();
        advance(2.0);
        ASSERT_EQ(keys.posted.size(), 2);
        EXPECT_EQ(keys.posted.first().event, (SyntheticKeyEvent{VirtualKey::Return, true}));
        EXPECT_EQ(keys.posted.first().atMs - start, enterAtMs);
    }
}
