#include "dictation/DictationFixture.h"

using namespace velnor;
using namespace velnor::test;

using TraditionalDictation = DictationTest;

TEST_F(TraditionalDictation, PressAndReleaseRecordsUploadsAndTypesTheText)
{
    controller->handleKeyDown();
    EXPECT_EQ(recordingFiles.cleanupCalls, QList<int>{10});
    EXPECT_EQ(recorder.startedFiles, QStringList{recordingFiles.handedOut.first()});
    EXPECT_EQ(sounds.played, QStringList{QStringLiteral("ber.mov@1")});
    EXPECT_TRUE(indicator.recording);
    EXPECT_TRUE(log.printed().first().startsWith(QStringLiteral("Pressed Down at ")));
    recorder.deliverLevels({0.1F, 0.5F});
    scheduler.runDue();
    EXPECT_EQ(indicator.waveformUpdates, 1);

    // The stop waits 0.3 s after the key-up.
    advance(2.0);
    controller->handleKeyUp();
    advance(0.29);
    EXPECT_EQ(recorder.stopCount, 0);
    advance(0.01);
    EXPECT_EQ(recorder.stopCount, 1);
    EXPECT_TRUE(indicator.recognizing);

    ASSERT_EQ(recognition.recognitions.size(), 1);
    const RecognizeAudioFileParams& sent = recognition.recognitions.first().params;
    EXPECT_EQ(sent.appID, QStringLiteral("org.example.editor"));
    EXPECT_EQ(sent.appName, QStringLiteral("Editor"));
    EXPECT_EQ(sent.osType, QStringLiteral("linux"));
    EXPECT_EQ(sent.outLanguage, std::nullopt);
    EXPECT_EQ(sent.overOver, false);
    EXPECT_EQ(sent.audioData.size(), recorder.bytesPerRecording);

    // Typed after a short delay, then the backend's record learns how.
    answerUpload(QStringLiteral("你好世界"));
    EXPECT_FALSE(indicator.recognizing);
    EXPECT_TRUE(textInput.typed.isEmpty());
    advance(0.1);
    EXPECT_EQ(textInput.typed, QStringList{QStringLiteral("你好世界")});
    ASSERT_EQ(recognition.updates.size(), 1);
    const RecognizeRecordUpdateReq& update = recognition.updates.first().params;
    EXPECT_EQ(update.id, QStringLiteral("rec-1"));
    EXPECT_EQ(update.appID, QStringLiteral("org.example.editor"));
    EXPECT_EQ(update.textInputMethod, QStringLiteral("accessibility"));
    recognition.updates.first().answer(Result<bool, ServiceError>::success(true));
    EXPECT_TRUE(log.contains(QStringLiteral("更新语音识别记录成功: rec-1")));
}

TEST_F(TraditionalDictation, RepressWithinDelayedStopStartsANewRecordingOnANewFile)
{
    controller->handleKeyDown();
    controller->handleKeyUp();
    advance(0.2);
    controller->handleKeyDown();
    EXPECT_TRUE(log.contains(QStringLiteral("延迟停止定时器已取消")));
    advance(1.0);
    EXPECT_EQ(recorder.stopCount, 0) << "the cancelled delayed stop must not stop the new recording";
    ASSERT_EQ(recorder.startedFiles.size(), 2);
    EXPECT_NE(recorder.startedFiles.at(0), recorder.startedFiles.at(1));
    controller->handleKeyUp();
    advance(0.3);
    EXPECT_EQ(recognition.recognitions.size(), 1);
    failUpload();
    expectEveryEntryFinished();
}

TEST_F(TraditionalDictation, MaximumDurationStopsTheRecordingInEitherModeAndSwallowsTheKeyUp)
{
    settings.setString(SettingsKey::MaxRecordingDuration, QStringLiteral("30"));
    controller->handleKeyDown();
    advance(29.9);
    EXPECT_EQ(recorder.stopCount, 0);
    advance(0.1);
    EXPECT_TRUE(log.contains(QStringLiteral("录音达到最大时长限制(30秒)，自动停止录音")));
    EXPECT_EQ(recorder.stopCount, 1);
    EXPECT_FALSE(static_cast<bool>(recorder.onSamples));

    controller->handleKeyUp();
    EXPECT_TRUE(log.contains(QStringLiteral("录音已被超时机制处理，跳过热键弹起处理")));
    EXPECT_FALSE(controller->isRecordingHandledByTimeout());
    advance(1.0);
    EXPECT_EQ(recorder.stopCount, 1);
    EXPECT_EQ(recognition.recognitions.size(), 1);

    // Real-time mode records through its client: that capture stops too.
    useRealtimeMode();
    controller->handleKeyDown();
    advance(30.0);
    EXPECT_TRUE(client().calls.contains(QStringLiteral("stopRecording")));
    EXPECT_TRUE(indicator.recognizing);
}

TEST_F(TraditionalDictation, KeyDownDuringUploadCancelsTheRequestAndIgnoresItsLateAnswer)
{
    pressAndRelease();
    indicator.calls.clear();
    controller->handleKeyDown();
    EXPECT_TRUE(recognition.recognitions.first().isCancelled());
    EXPECT_EQ(indicator.calls.mid(0, 2), (QStringList{QStringLiteral("finishRecognizing"), QStringLiteral("startRecording")}));
    EXPECT_TRUE(recorder.isRecording);

    // Answers racing the cancel (an abort error, a reply already on its way)
    // belong to the abandoned dictation: no end sound, nothing typed, the
    // new recording's indicator untouched.
    failUpload();
    answerUpload(QStringLiteral("old"));
    advance(0.5);
    EXPECT_TRUE(textInput.typed.isEmpty());
    EXPECT_EQ(sounds.played.size(), 2) << "two start sounds, no end sound";
    EXPECT_TRUE(indicator.recording);
}

TEST_F(TraditionalDictation, IndicatorIsResetWhenAbnormalAndForcedForFullScreenEditors)
{
    indicator.size = WindowSize::Large;
    workspace.frontApp = FrontAppInfo{QStringLiteral("code"), QStringLiteral("Visual Studio Code"), 7};
    controller->handleKeyDown();
    EXPECT_TRUE(log.contains(QStringLiteral("热键按下时状态: 窗口大小=large, 录音中=false, 识别中=false")));
    EXPECT_EQ(indicator.calls.first(), QStringLiteral("resetToInitialState"));
    EXPECT_TRUE(indicator.calls.contains(QStringLiteral("bringToFront(forced)")));
    EXPECT_FALSE(indicator.recording);
    advance(0.3);
    EXPECT_TRUE(indicator.recording);

    workspace.frontApp = FrontAppInfo{QStringLiteral("gedit"), QStringLiteral("Text Editor"), 8};
    controller->handleKeyUp();
    EXPECT_TRUE(indicator.calls.contains(QStringLiteral("bringToFront")));
}

// After one dictation went through, a stop that has no fresh recording of its
// own must not upload that dictation's file (or a file of the user's) again.
// Without a recording the indicator keeps its look for two seconds, but a
// stale finish never closes the next recording's indicator.
TEST_F(TraditionalDictation, UploadsOnlyTheFileThisDictationRecorded)
{
    pressAndRelease();
    answerUpload(QStringLiteral("first"));
    temp.writeFile(QStringLiteral("my-song.m4a"), QByteArray(50000, 'x'));
    controller->handleKeyUp(); // without a key-down
    advance(0.3);
    EXPECT_EQ(log.levelOf(QStringLiteral("没有找到录音文件，但保持识别状态显示")), QStringLiteral("ERROR"));
    scheduler.runUntilIdle();

    recorder.startSucceeds = false;
    const qsizetype sounds0 = sounds.played.size();
    pressAndRelease();
    EXPECT_EQ(log.count(QStringLiteral("没有找到录音文件，但保持识别状态显示")), 2);
    EXPECT_EQ(sounds.played.size(), sounds0 + 1) << "no end sound on this path";
    advance(1.9);
    EXPECT_TRUE(indicator.recognizing) << "the indicator keeps its look for two seconds";
    advance(0.1);
    EXPECT_FALSE(indicator.recognizing);

    // Pressed again within those two seconds: the pending finish is void.
    pressAndRelease();
    advance(1.0);
    recorder.startSucceeds = true;
    controller->handleKeyDown();
    advance(1.5);
    EXPECT_TRUE(indicator.recording) << "a stale finish closed the new recording's indicator";
    controller->handleKeyUp();
    advance(0.3);
    EXPECT_EQ(recognition.recognitions.size(), 2) << "the first dictation's and the last one's";
}

TEST_F(TraditionalDictation, EveryModeButRealtimeRecordsToAFileAndStopsIt)
{
    for (const QString& mode : {QStringLiteral("traditional"), QStringLiteral("Traditional"), QString(),
                                QStringLiteral("realtime ")}) {
        SCOPED_TRACE(mode.toStdString());
        settings.setString(SettingsKey::RecognitionMode, mode);
        recorder.stopCount = 0;
        recognition.recognitions.clear();
        pressAndRelease();
        EXPECT_FALSE(recorder.isRecording) << "microphone left open";
        EXPECT_EQ(recorder.stopCount, 1);
        EXPECT_EQ(recognition.recognitions.size(), 1);
        EXPECT_TRUE(realtime.clients.isEmpty());
    }
}

// A recording too small to upload, then a failed upload: each ends with its
// end sound and nothing typed.
TEST_F(TraditionalDictation, TooSmallOrFailedRecognitionFinishesWithTheEndSound)
{
    recorder.bytesPerRecording = 10239;
    pressAndRelease();
    EXPECT_TRUE(recognition.recognitions.isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("音频文件太小(10239 bytes)，跳过识别")));
    EXPECT_EQ(sounds.played.size(), 2) << "start and end sound";
    EXPECT_FALSE(indicator.recognizing);

    recorder.bytesPerRecording = 10240;
    workspace.frontApp = std::nullopt;
    pressAndRelease();
    ASSERT_EQ(recognition.recognitions.size(), 1);
    // Without a front application the parts are sent empty, not left out.
    EXPECT_EQ(recognition.recognitions.first().params.appID, QString());
    EXPECT_EQ(recognition.recognitions.first().params.appName, QString());
    failUpload();
    EXPECT_FALSE(indicator.recognizing);
    EXPECT_EQ(sounds.played.size(), 4);
    const QStringList failures = log.startingWith(QStringLiteral("语音识别失败: "));
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.first().contains(QStringLiteral("QASRServiceNetworkErrorDomain")));
    EXPECT_TRUE(textInput.typed.isEmpty());
    expectEveryEntryFinished();

    // Late callbacks of a controller that is gone do nothing.
    controller->handleKeyDown();
    controller->handleKeyUp();
    controller.reset();
    advance(60.0);
    EXPECT_EQ(recognition.recognitions.size(), 1);
}
