#include "dictation/DictationFixture.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "history/LastTextReinserter.h"

#include <future>

using namespace velnor;
using namespace velnor::test;

namespace {

// The controller with a real history behind it: what a user would find in
// the history after each kind of dictation.
class DictationHistory : public DictationTest {
protected:
    DictationHistory()
    {
        controller = std::make_unique<AppSetupHelper>(collaborators(), &historyRecorder);
    }

    QList<HistoryEntry> entries()
    {
        std::promise<QList<HistoryEntry>> answer;
        store.fetch({}, 100, [&](QList<HistoryEntry> all) { answer.set_value(std::move(all)); });
        return answer.get_future().get();
    }

    // Holds the key for `holdSeconds` of both virtual clocks, then releases.
    void dictate(double holdSeconds)
    {
        controller->handleKeyDown();
        clock.advance(static_cast<qint64>(holdSeconds * 1000));
        advance(holdSeconds);
        controller->handleKeyUp();
        advance(0.3);
    }

    void answerUpload(Result<RecognizeAudioFileResponse, ServiceError> result)
    {
        recognition.recognitions.last().answer(std::move(result));
        advance(0.5);
    }

    HistoryStore store{HistoryStore::Dependencies{temp.filePath(QStringLiteral("history.db")), clock,
                                                  [] { return true; }, [](std::function<void()> work) { work(); }}};
    HistoryRecorder historyRecorder{store};
};

} // namespace

TEST_F(DictationHistory, FileModeEntryEndsDeliveredFailedOrCancelled)
{
    struct Case {
        const char* name;
        std::function<void()> finish;
        HistoryOutcome outcome;
        QString errorText;
        QString text;
    };
    const QList<Case> cases{
        {"delivered", [this] {
             answerUpload(Result<RecognizeAudioFileResponse, ServiceError>::success(response(QStringLiteral("你好世界"))));
         }, HistoryOutcome::Delivered, {}, QStringLiteral("你好世界")},
        {"backend down", [this] {
             answerUpload(Result<RecognizeAudioFileResponse, ServiceError>::failure(networkError()));
         }, HistoryOutcome::Failed, QStringLiteral("网络请求失败: connection refused"), {}},
        {"empty text", [this] {
             answerUpload(Result<RecognizeAudioFileResponse, ServiceError>::success(response(QString())));
         }, HistoryOutcome::Failed, QStringLiteral("识别文本为空"), {}},
        {"re-press during upload", [this] { controller->handleKeyDown(); },
         HistoryOutcome::Cancelled, {}, {}},
    };
    textInput.method = TextInputMethod::Clipboard;
    settings.setString(SettingsKey::OutputLanguage, QStringLiteral("en"));
    settings.setString(SettingsKey::OverOverEnable, QStringLiteral("true"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        historyRecorder.cancelled(); // the re-press case leaves a new dictation open
        store.clear();
        clock.advance(60'000);
        dictate(2.0);
        ASSERT_FALSE(recognition.recognitions.isEmpty());
        const QString recording = recordingFiles.handedOut.last();
        c.finish();

        const QList<HistoryEntry> all = entries();
        ASSERT_GE(all.size(), 1);
        const HistoryEntry& entry = all.last(); // newest first: the re-pressed one is older
        EXPECT_EQ(entry.outcome, c.outcome);
        EXPECT_EQ(entry.mode, QStringLiteral("traditional"));
        EXPECT_EQ(entry.appName, QStringLiteral("Editor"));
        EXPECT_EQ(entry.bundleId, QStringLiteral("org.example.editor"));
        EXPECT_DOUBLE_EQ(entry.durationSeconds, 2.0);
        // What a retry needs to send the same upload.
        EXPECT_EQ(entry.outLanguage, QStringLiteral("en"));
        EXPECT_TRUE(entry.overOver);
        EXPECT_EQ(entry.recordingPath, recording) << "the recording stays with its entry";
        EXPECT_EQ(entry.errorText, c.errorText);
        EXPECT_EQ(entry.recognizedText, c.text);
        EXPECT_EQ(entry.correctedText, c.text);
        EXPECT_EQ(entry.insertionMethod, c.text.isEmpty() ? QString() : QStringLiteral("clipboard"));
    }
}

TEST_F(DictationHistory, RealtimeEntryKeepsTheRecognizedAndTheCorrectedText)
{
    useRealtimeMode();
    dictate(1.5);
    realtime.clients.last()->complete(QStringLiteral("今天天气很好"));
    advance(0.1);
    AdjustTextResponse corrected;
    corrected.text = QStringLiteral("今天天气很好。");
    adjustment.adjustments.last().answer(Result<AdjustTextResponse, ServiceError>::success(corrected));

    const QList<HistoryEntry> all = entries();
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].mode, QStringLiteral("realtime"));
    EXPECT_EQ(all[0].outcome, HistoryOutcome::Delivered);
    EXPECT_EQ(all[0].recognizedText, QStringLiteral("今天天气很好"));
    EXPECT_EQ(all[0].correctedText, QStringLiteral("今天天气很好。"));
    EXPECT_EQ(all[0].insertionMethod, QStringLiteral("accessibility"));
    EXPECT_TRUE(all[0].recordingPath.isEmpty());
}

TEST_F(DictationHistory, EveryStartedDictationEndsSomewhere)
{
    // Short recordings, a re-press before the delayed stop, a real-time
    // client that cannot start: none may stay "recording".
    recorder.bytesPerRecording = 100;
    dictate(0.2);
    controller->handleKeyDown();
    controller->handleKeyUp();
    controller->handleKeyDown(); // within the delayed stop
    advance(0.5);
    controller->handleKeyUp();
    advance(0.5);
    clock.advance(1000);
    useRealtimeMode();
    realtime.failCreation = true;
    controller->handleKeyDown();

    const QList<HistoryEntry> all = entries();
    ASSERT_EQ(all.size(), 4);
    for (const HistoryEntry& entry : all)
        EXPECT_TRUE(entry.isFinished()) << entry.mode.toStdString() << " " << historyOutcomeName(entry.outcome).toStdString();
    EXPECT_EQ(all[0].outcome, HistoryOutcome::Failed);
    EXPECT_TRUE(historyRecorder.currentEntryId().isEmpty());
}

TEST_F(DictationHistory, ReinsertTypesTheNewestDeliveredTextAgain)
{
    QStringList typedAgain;
    LastTextReinserter reinserter(store, [&](const QString& text) { typedAgain << text; }, log.logger());
    reinserter.reinsertLastText();
    entries(); // the store answers in order: the reinsert has run
    EXPECT_TRUE(typedAgain.isEmpty()) << "nothing delivered yet, nothing typed";

    dictate(1.0);
    answerUpload(Result<RecognizeAudioFileResponse, ServiceError>::success(response(QStringLiteral("第一句"))));
    clock.advance(1000);
    dictate(1.0);
    answerUpload(Result<RecognizeAudioFileResponse, ServiceError>::failure(networkError()));
    ASSERT_EQ(textInput.typed, QStringList{QStringLiteral("第一句")});

    reinserter.reinsertLastText();
    entries();
    EXPECT_EQ(typedAgain, QStringList{QStringLiteral("第一句")}) << "the failed dictation on top is skipped";
}
