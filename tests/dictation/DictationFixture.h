#pragma once

#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/ManualScheduler.h"
#include "dictation/AppSetupHelper.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "testing/FakeAudioFileRecorder.h"
#include "testing/FakeBackendServices.h"
#include "testing/FakeIndicator.h"
#include "platform/fake/FakeKeySynthesizer.h"
#include "testing/FakeRealtimeClient.h"
#include "testing/FakeRecordingFiles.h"
#include "testing/FakeSoundPlayer.h"
#include "testing/FakeTextInput.h"
#include "platform/fake/FakeWorkspace.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <future>

namespace velnor::test {

using RecognitionResult = Result<RecognizeAudioFileResponse, ServiceError>;

// Live partial text as the field would show it, "<clear>" for a clear.
struct RecordingPreedit final : PreeditSink {
    void showPreedit(const QString& text) override { shown << text; }
    void clearPreedit() override { shown << QStringLiteral("<clear>"); }
    QStringList shown;
};

// The real controller wired to fakes and a real history, on virtual time.
class DictationTest : public ::testing::Test {
protected:
    DictationTest()
        : log(clock)
        , recordingFiles(temp.path())
        , textInput(workspace)
        , keys([this] { return static_cast<qint64>(scheduler.now().count()); })
        , inputMethodKeys([this] { return static_cast<qint64>(scheduler.now().count()); })
    {
        controller = std::make_unique<AppSetupHelper>(
            AppSetupHelper::Collaborators{settings, scheduler, clock, log.logger(), log.printSink(), indicator, recorder,
                                          recordingFiles, sounds, recognition, adjustment, textInput, workspace, keys,
                                          trust, realtime.factory(), QStringLiteral("linux")},
            &historyRecorder, &preedit, &inputMethodKeys);
    }

    // No dictation may stay open in the history.
    void expectEveryEntryFinished()
    {
        for (const HistoryEntry& entry : entries())
            EXPECT_TRUE(entry.isFinished()) << entry.mode.toStdString() << " " << historyOutcomeName(entry.outcome).toStdString();
        EXPECT_EQ(historyRecorder.openEntries(), 0);
    }

    // What a user would find in the history, newest first.
    QList<HistoryEntry> entries()
    {
        std::promise<QList<HistoryEntry>> answer;
        store.fetch({}, 100, [&](QList<HistoryEntry> all) { answer.set_value(std::move(all)); });
        return answer.get_future().get();
    }

    void advance(double secondsToAdvance) { scheduler.advanceBy(seconds(secondsToAdvance)); }

    // A whole traditional press: down, hold (on both virtual clocks), up, and
    // the delayed stop.
    void pressAndRelease(double holdSeconds = 1.0)
    {
        controller->handleKeyDown();
        clock.advance(static_cast<qint64>(holdSeconds * 1000));
        advance(holdSeconds);
        controller->handleKeyUp();
        advance(0.3);
    }

    void useRealtimeMode() { settings.setString(SettingsKey::RecognitionMode, QStringLiteral("realtime")); }

    static RecognizeAudioFileResponse response(std::optional<QString> text, std::optional<QString> id = QStringLiteral("rec-1"),
                                               std::optional<bool> overOver = std::nullopt)
    {
        RecognizeAudioFileResponse r;
        r.text = std::move(text);
        r.id = std::move(id);
        r.overOver = overOver;
        return r;
    }

    // Answers the newest upload with `text` (the backend's record id "rec-1").
    void answerUpload(std::optional<QString> text, std::optional<bool> overOver = std::nullopt)
    {
        recognition.recognitions.last().answer(RecognitionResult::success(response(std::move(text), QStringLiteral("rec-1"), overOver)));
    }
    static ServiceError networkError()
    {
        return ServiceError{QStringLiteral("QASRServiceNetworkErrorDomain"), -1,
                            QStringLiteral("网络请求失败: connection refused"), {}, {}, {}};
    }
    void failUpload() { recognition.recognitions.last().answer(RecognitionResult::failure(networkError())); }

    // Answers the newest correction; no text means "use the recognised text".
    void answerAdjustment(std::optional<QString> text)
    {
        AdjustTextResponse corrected;
        corrected.text = std::move(text);
        adjustment.adjustments.last().answer(Result<AdjustTextResponse, ServiceError>::success(corrected));
    }

    // The real-time client the controller made `index`-th (the newest by default).
    FakeRealtimeClientRecord& client(qsizetype index = -1)
    {
        return *realtime.clients.at(index < 0 ? realtime.clients.size() - 1 : index);
    }

    TempDir temp;
    ManualScheduler scheduler;
    ManualClock clock;
    LogCapture log;
    MemorySettingsStore settings;
    FakeIndicator indicator;
    FakeAudioFileRecorder recorder;
    FakeRecordingFiles recordingFiles;
    FakeSoundPlayer sounds;
    FakeFileRecognitionService recognition;
    FakeTextAdjustmentService adjustment;
    FakeWorkspace workspace;
    FakeTextInput textInput;
    FakeKeySynthesizer keys;
    // Keys pressed through the input method.
    FakeKeySynthesizer inputMethodKeys;
    FakeAccessibilityTrust trust;
    FakeRealtimeClientFactory realtime;
    RecordingPreedit preedit;
    HistoryStore store{HistoryStore::Dependencies{temp.filePath(QStringLiteral("history.db")), clock, [] { return true; },
                                                  [](std::function<void()> work) { work(); }}};
    HistoryRecorder historyRecorder{store};
    std::unique_ptr<AppSetupHelper> controller;
};

} // namespace velnor::test
