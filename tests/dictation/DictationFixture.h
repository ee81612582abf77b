#pragma once

#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/ManualScheduler.h"
#include "dictation/AppSetupHelper.h"
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

namespace velnor::test {

// The real controller wired to fakes, on virtual time.
class DictationTest : public ::testing::Test {
protected:
    DictationTest()
        : log(clock)
        , recordingFiles(temp.path())
        , textInput(workspace)
        , keys([this] { return static_cast<qint64>(scheduler.now().count()); })
        , inputMethodKeys([this] { return static_cast<qint64>(scheduler.now().count()); })
    {
        controller = std::make_unique<AppSetupHelper>(collaborators(), nullptr, nullptr, &inputMethodKeys);
    }

    AppSetupHelper::Collaborators collaborators()
    {
        return AppSetupHelper::Collaborators{
            settings, scheduler, clock, log.logger(), log.printSink(), indicator, recorder, recordingFiles,
            sounds, recognition, adjustment, textInput, workspace, keys, trust, realtime.factory(),
            QStringLiteral("linux")};
    }

    void advance(double secondsToAdvance) { scheduler.advanceBy(seconds(secondsToAdvance)); }

    // A whole traditional press: down, hold, up, and the delayed stop.
    void pressAndRelease(double holdSeconds = 1.0)
    {
        controller->handleKeyDown();
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

    static ServiceError networkError()
    {
        return ServiceError{QStringLiteral("QASRServiceNetworkErrorDomain"), -1,
                            QStringLiteral("网络请求失败: connection refused"), {}, {}, {}};
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
    std::unique_ptr<AppSetupHelper> controller;
};

} // namespace velnor::test
