#include "dictation/DictationFixture.h"
#include "history/DictationRetry.h"
#include "history/LastTextReinserter.h"

using namespace velnor;
using namespace velnor::test;

// What a user would find in the history after each kind of dictation.
using DictationHistory = DictationTest;

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
        {"delivered", [this] { answerUpload(QStringLiteral("你好世界")); }, HistoryOutcome::Delivered, {}, QStringLiteral("你好世界")},
        {"backend down", [this] { failUpload(); }, HistoryOutcome::Failed, QStringLiteral("网络请求失败: connection refused"), {}},
        {"empty text", [this] { answerUpload(QString()); }, HistoryOutcome::Failed, QStringLiteral("识别文本为空"), {}},
        {"re-press during upload", [this] { controller->handleKeyDown(); }, HistoryOutcome::Cancelled, {}, {}},
    };
    textInput.method = TextInputMethod::Clipboard;
    settings.setString(SettingsKey::OutputLanguage, QStringLiteral("en"));
    settings.setString(SettingsKey::OverOverEnable, QStringLiteral("true"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.clear(); // the re-press case leaves a new dictation open: the next press abandons it
        clock.advance(60'000);
        pressAndRelease(2.0);
        ASSERT_FALSE(recognition.recognitions.isEmpty());
        EXPECT_EQ(recognition.recognitions.last().params.outLanguage, QStringLiteral("en"));
        EXPECT_EQ(recognition.recognitions.last().params.overOver, true);
        const QString recording = recordingFiles.handedOut.last();
        c.finish();
        advance(0.5);
        const QList<HistoryEntry> all = entries();
        ASSERT_GE(all.size(), 1);
        const HistoryEntry& entry = all.last(); // newest first: the re-pressed one is older
        EXPECT_EQ(entry.outcome, c.outcome);
        EXPECT_DOUBLE_EQ(entry.durationSeconds, 2.0);
        // What a retry needs to send the same upload; the recording stays with its entry.
        EXPECT_TRUE(entry.overOver);
        EXPECT_EQ(entry.outLanguage, QStringLiteral("en"));
        EXPECT_EQ(QStringList({entry.mode, entry.appName, entry.bundleId, entry.recordingPath}),
                  QStringList({"traditional", "Editor", "org.example.editor", recording}));
        EXPECT_EQ(QStringList({entry.errorText, entry.recognizedText, entry.correctedText, entry.insertionMethod}),
                  QStringList({c.errorText, c.text, c.text, c.text.isEmpty() ? QString() : QStringLiteral("clipboard")}));
    }
}

TEST_F(DictationHistory, ARePressWhileTheTextIsTypedLeavesEachDictationItsOwnEvents)
{
    QStringList typedAgain;
    LastTextReinserter reinserter(store, [&](const QString& text) { typedAgain << text; }, log.logger());
    reinserter.reinsertLastText();
    entries(); // the store answers in order: the reinsert has run
    EXPECT_TRUE(typedAgain.isEmpty()) << "nothing delivered yet, nothing typed";

    // The first text is typed after the typing delay and the insertion takes
    // its time: the key goes down again before it is in the field.
    textInput.deferCompletion = true;
    pressAndRelease(1.0);
    const QString first = recordingFiles.handedOut.last();
    answerUpload(QStringLiteral("第一句"));
    advance(0.5);
    ASSERT_EQ(textInput.typed, QStringList{QStringLiteral("第一句")});
    clock.advance(1000);
    controller->handleKeyDown();
    textInput.completePending();
    advance(1.0);
    controller->handleKeyUp();
    advance(0.3);
    const QString second = recordingFiles.handedOut.last();
    failUpload();
    advance(0.5);

    const QList<HistoryEntry> all = entries();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(QList({all[1].outcome, all[0].outcome}), QList({HistoryOutcome::Delivered, HistoryOutcome::Failed}));
    EXPECT_EQ(QStringList({all[1].deliveredText(), all[0].deliveredText()}), QStringList({"第一句", QString()}));
    EXPECT_EQ(QStringList({all[1].recordingPath, all[0].recordingPath}), QStringList({first, second}));
    EXPECT_TRUE(store.isRecordingPinned(second)) << "the keep-ten prune must not take the only copy";
    EXPECT_EQ(historyRecorder.openEntries(), 0);

    // Reinserting types the newest delivered text: the failed dictation on top is skipped.
    reinserter.reinsertLastText();
    entries();
    EXPECT_EQ(typedAgain, QStringList{QStringLiteral("第一句")});
}

TEST_F(DictationHistory, ADictationCancelledDuringItsUploadCanBeRetried)
{
    pressAndRelease(2.0);
    const QString recording = recordingFiles.handedOut.last();
    const QByteArray sent = recognition.recognitions.last().params.audioData;
    controller->handleKeyDown(); // re-pressed while the upload runs
    const HistoryEntry cancelled = entries().last();
    ASSERT_EQ(cancelled.outcome, HistoryOutcome::Cancelled);
    EXPECT_TRUE(store.isRecordingPinned(recording));

    DictationRetry retry(DictationRetry::Dependencies{store, recognition, log.logger(), QStringLiteral("linux")});
    std::optional<Result<QString, QString>> outcome;
    retry.retry(cancelled.id, [&](Result<QString, QString> result) { outcome = std::move(result); });
    entries(); // the store answers in order: the retry has looked the entry up
    ASSERT_FALSE(outcome.has_value()) << "refused: " << outcome->error().toStdString();
    ASSERT_EQ(recognition.recognitions.size(), 2);
    EXPECT_EQ(recognition.recognitions.last().params.audioData, sent) << "the whole recording, as first sent";
    answerUpload(QStringLiteral("找回来了"));
    ASSERT_TRUE(outcome.has_value() && outcome->ok());
    const HistoryEntry retried = entries().last();
    EXPECT_EQ(retried.outcome, HistoryOutcome::Delivered);
    EXPECT_EQ(retried.deliveredText(), QStringLiteral("找回来了"));
    EXPECT_FALSE(store.isRecordingPinned(recording));
}
