#include "dictation/DictationFixture.h"

using namespace velnor;
using namespace velnor::test;

namespace {

class RealtimeDictation : public DictationTest {
protected:
    void SetUp() override { useRealtimeMode(); }
};

} // namespace

TEST_F(RealtimeDictation, PartialsShowAsPreeditThenTheFinalTextIsCorrectedAndTyped)
{
    settings.setString(SettingsKey::OutputLanguage, QStringLiteral("en"));
    controller->handleKeyDown();
    ASSERT_EQ(realtime.clients.size(), 1);
    EXPECT_EQ(client().calls, QStringList{QStringLiteral("connectAndStartRecording")});
    EXPECT_TRUE(controller->isRealtimeRecognizing());
    EXPECT_TRUE(recorder.startedFiles.isEmpty()) << "the file recorder is not used in this mode";
    client().partial(QStringLiteral("今天"));
    client().partial(QStringLiteral("今天天气"));
    advance(1.5);
    controller->handleKeyUp();
    EXPECT_TRUE(client().calls.contains(QStringLiteral("stopRecording")));
    EXPECT_FALSE(controller->isRealtimeRecognizing());
    EXPECT_TRUE(indicator.recognizing);

    client().partial(QStringLiteral("今天天气很好"));
    advance(1.0);
    client().complete(QStringLiteral("今天天气很好"));
    EXPECT_FALSE(controller->hasRealtimeClient());
    advance(0.1);
    ASSERT_EQ(adjustment.adjustments.size(), 1);
    EXPECT_EQ(adjustment.adjustments.first().params.text, QStringLiteral("今天天气很好"));
    EXPECT_EQ(adjustment.adjustments.first().params.appName, QStringLiteral("Editor"));
    EXPECT_EQ(adjustment.adjustments.first().params.outLanguage, QStringLiteral("en"));
    EXPECT_EQ(preedit.shown.last(), QStringLiteral("今天天气很好")) << "shown while the correction runs";
    answerAdjustment(QStringLiteral("今天天气很好。"));
    EXPECT_EQ(textInput.typed, QStringList{QStringLiteral("今天天气很好。")});
    EXPECT_EQ(preedit.shown, QStringList({QStringLiteral("<clear>"), QStringLiteral("今天"), QStringLiteral("今天天气"),
                                          QStringLiteral("今天天气很好"), QStringLiteral("<clear>")}));
    EXPECT_EQ(sounds.played.size(), 2);
    EXPECT_FALSE(indicator.recognizing);
    // The history keeps the recognised and the corrected text.
    const QList<HistoryEntry> all = entries();
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].outcome, HistoryOutcome::Delivered);
    EXPECT_EQ(QStringList({all[0].mode, all[0].recognizedText, all[0].correctedText, all[0].insertionMethod, all[0].recordingPath}),
              QStringList({"realtime", "今天天气很好", "今天天气很好。", "accessibility", QString()}));

    // The result wait finds the dictation done.
    advance(3.0);
    EXPECT_TRUE(log.contains(QStringLiteral("ℹ️ 超时检查时tencentASR已被清理，识别可能已完成")));
    EXPECT_EQ(textInput.typed.size(), 1);
    EXPECT_TRUE(recognition.updates.isEmpty()) << "no record update in real-time mode";
}

TEST_F(RealtimeDictation, ARetiredSessionsLateFinalTextIsNeverTyped)
{
    // The result wait delivered the partial text and retired the client, but
    // the client's completion was already queued behind it: it must neither
    // type the text again nor reach the next dictation.
    struct Case {
        const char* name;
        bool nextDictationStarted;
    };
    for (const Case& c : {Case{"right behind the timeout", false}, Case{"during the next dictation", true}}) {
        adjustment.adjustments.clear();
        controller->handleKeyDown();
        client().currentText = QStringLiteral("partial");
        client().finalText = QStringLiteral("final"); // the current text wins
        const RealtimeRecognitionClient::CompletionHandler queued = client().handler;
        controller->handleKeyUp();
        scheduler.after(seconds(3.0), [&] {
            if (!c.nextDictationStarted)
                queued(QStringLiteral("partial and final"));
        });
        advance(3.0);
        if (c.nextDictationStarted) {
            controller->handleKeyDown();
            queued(QStringLiteral("partial and final"));
        }
        advance(0.1);
        ASSERT_EQ(adjustment.adjustments.size(), 1) << c.name;
        EXPECT_EQ(adjustment.adjustments.first().params.text, QStringLiteral("partial")) << c.name;
        EXPECT_EQ(controller->isRealtimeRecognizing(), c.nextDictationStarted) << c.name;
        answerAdjustment(std::nullopt);
        if (c.nextDictationStarted)
            controller->handleKeyUp();
        scheduler.runUntilIdle();
    }
    EXPECT_EQ(textInput.typed, (QStringList{QStringLiteral("partial"), QStringLiteral("partial")}));
}

TEST_F(RealtimeDictation, ClientThatCannotBeCreatedResetsTheDictation)
{
    realtime.failCreation = true;
    controller->handleKeyDown();
    EXPECT_EQ(log.levelOf(QStringLiteral("腾讯云实时识别服务未初始化")), QStringLiteral("ERROR"));
    EXPECT_FALSE(controller->isRealtimeRecognizing());
    EXPECT_EQ(sounds.played.size(), 1) << "only the end sound";
    expectEveryEntryFinished();
    EXPECT_EQ(entries().first().outcome, HistoryOutcome::Failed);
}

TEST_F(RealtimeDictation, KeyDownWhileStreamingInterruptsTheStreamAndItsPreedit)
{
    controller->handleKeyDown();
    client().partial(QStringLiteral("第一"));
    controller->handleKeyDown();
    EXPECT_TRUE(log.contains(QStringLiteral("正在中断实时识别任务")));
    EXPECT_TRUE(client(0).calls.contains(QStringLiteral("stopRecording")));
    EXPECT_TRUE(client(0).calls.contains(QStringLiteral("disconnect")));
    EXPECT_EQ(preedit.shown.last(), QStringLiteral("<clear>"));
    client(0).partial(QStringLiteral("迟到的"));
    EXPECT_FALSE(preedit.shown.contains(QStringLiteral("迟到的"))) << "the interrupted dictation's client";
    scheduler.runDue();
    EXPECT_FALSE(client(0).alive) << "the replaced client is released";
    EXPECT_EQ(realtime.clients.size(), 2);
    EXPECT_TRUE(controller->isRealtimeRecognizing());

    // File mode shows nothing, and the real-time client still waiting shows nothing in it.
    controller->handleKeyUp();
    settings.setString(SettingsKey::RecognitionMode, QStringLiteral("traditional"));
    controller->handleKeyDown();
    client().partial(QStringLiteral("文件模式"));
    EXPECT_FALSE(preedit.shown.contains(QStringLiteral("文件模式")));
}

TEST_F(RealtimeDictation, TheEndOfAnEarlierDictationLeavesTheNextRecordingAlone)
{
    // The key goes down again while the last text is still corrected, typed
    // or waited for. When that dictation ends, the new recording gets no end
    // sound, its indicator stays up and its state stays.
    struct Case {
        const char* name;
        bool nextIsRealtime;
        std::function<void()> beforeKeyDown; // the earlier dictation after its key-up
        std::function<void()> afterKeyDown; // ...and how it ends
    };
    const QList<Case> cases{
        {"corrected and typed", true,
         [this] {
             client().complete(QStringLiteral("上一句"));
             advance(0.1);
         },
         [this] { answerAdjustment(std::nullopt); }},
        {"typed slowly", true,
         [this] {
             textInput.deferCompletion = true;
             client().complete(QStringLiteral("上一句"));
             advance(0.1);
             answerAdjustment(std::nullopt);
         },
         [this] { textInput.completePending(); }},
        {"nothing recognised", true, [this] { client().complete(QStringLiteral(" \n")); },
         [this] { EXPECT_TRUE(adjustment.adjustments.isEmpty()) << "nothing to correct"; }},
        {"final text still awaited", true, [] {}, [this] { advance(3.0); }},
        {"result wait runs out, next in file mode", false, [] {}, [this] { advance(3.0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useRealtimeMode();
        textInput.deferCompletion = false;
        adjustment.adjustments.clear();
        controller->handleKeyDown();
        controller->handleKeyUp();
        c.beforeKeyDown();
        if (!c.nextIsRealtime)
            settings.setString(SettingsKey::RecognitionMode, QStringLiteral("traditional"));
        controller->handleKeyDown();
        const qsizetype sounds0 = sounds.played.size();
        advance(0.3); // a still-recognising indicator restarts
        ASSERT_TRUE(indicator.recording);

        c.afterKeyDown();
        EXPECT_EQ(sounds.played.size(), sounds0) << "no end sound inside the new recording";
        EXPECT_TRUE(indicator.recording);
        EXPECT_EQ(controller->isRealtimeRecognizing(), c.nextIsRealtime);

        controller->handleKeyUp();
        scheduler.runUntilIdle();
        if (!c.nextIsRealtime)
            failUpload();
        scheduler.runUntilIdle();
        EXPECT_EQ(sounds.played.size(), sounds0 + 1) << "the new dictation's own end sound";
        EXPECT_FALSE(indicator.recording);
    }
}
