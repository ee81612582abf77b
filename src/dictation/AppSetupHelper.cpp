#include "dictation/AppSetupHelper.h"

#include "audio/AudioFileRecorder.h"
#include "audio/RecordingFiles.h"
#include "backend/FileRecognitionService.h"
#include "config/SettingsReaders.h"
#include "core/Clock.h"
#include "dictation/DictationObserver.h"
#include "dictation/LogText.h"
#include "dictation/RecordingUpload.h"
#include "log/Logger.h"
#include "platform/Workspace.h"
#include "textinput/TextInput.h"
#include "ui/Indicator.h"

#include <QFile>
#include <QFileInfo>

#include <utility>

namespace velnor {

namespace {
constexpr Duration kDelayedStop = seconds(0.3);
constexpr Duration kIndicatorRestartDelay = seconds(0.3);
constexpr int kResultWaitSeconds = 3;
constexpr Duration kIndicatorFinishDelay = seconds(2.0);
constexpr qsizetype kMinimumAudioBytes = 10240;
constexpr int kRecordingsKept = 10;

// Applications whose full-screen windows hide ordinary floating windows.
bool needsForcedIndicator(const std::optional<FrontAppInfo>& app)
{
    if (!app || !app->localizedName)
        return false;
    const QString& name = *app->localizedName;
    return name.contains(QStringLiteral("Visual Studio Code")) || name.contains(QStringLiteral("Code"))
        || name.contains(QStringLiteral("Xcode"));
}
} // namespace

AppSetupHelper::AppSetupHelper(Collaborators collaborators, DictationObserver* observer, PreeditSink* preedit,
                               KeySynthesizer* inputMethodKeys)
    : m_with(std::move(collaborators))
    , m_observer(observer)
    , m_preedit(preedit)
    , m_sounds(m_with.settings, m_with.soundPlayer)
    , m_autoSubmitter(m_with.settings, m_with.scheduler, m_with.log, m_with.keySynthesizer, m_with.accessibilityTrust,
                      m_with.workspace, inputMethodKeys)
    , m_delivery(ResultDelivery::Collaborators{m_with.settings, m_with.scheduler, m_with.clock, m_with.log,
                                               m_with.indicator, m_sounds, m_with.textInput, m_with.workspace,
                                               m_with.textAdjustment, m_with.fileRecognition, m_autoSubmitter,
                                               m_with.osType},
                 [this](DictationId dictation) { endDictation(dictation); }, observer)
{
}

AppSetupHelper::~AppSetupHelper()
{
    m_recordingTimer.cancel();
    m_delayedStopTimer.cancel();
    m_indicatorFinishTimer.cancel();
    if (m_currentRecognitionTask)
        m_currentRecognitionTask->cancel();
    if (m_tencentASR)
        m_tencentASR->disconnect();
}

// MARK: - Hotkey

void AppSetupHelper::handleKeyDown()
{
    // The last dictation's partial text must not stay in the field.
    clearPartialText();
    m_isRecordingHandledByTimeout = false;
    m_with.console(QStringLiteral("Pressed Down at ")
                   + m_with.clock.now().toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000")));

    if (m_isDelayedStopInProgress) {
        m_with.log.info(QStringLiteral("用户再次按键，取消延迟停止定时器"));
        cancelDelayedStopTimer();
        // That press's recording is never stopped nor sent.
        notify([&](DictationObserver& o) { o.cancelled(m_dictation); });
    }
    if (m_isCurrentlyRecognizing || m_isRealtimeRecognizing) {
        m_with.log.info(QStringLiteral("检测到正在进行的识别任务，立即中断"));
        cancelCurrentRecognition();
    }
    // A finish still pending from the last dictation's reset would close the
    // indicator in the middle of this recording.
    m_indicatorFinishTimer.cancel();
    m_indicatorFinishTimer = {};

    const WindowSize size = m_with.indicator.currentSize();
    const bool recognizing = m_with.indicator.isRecognizing();
    m_with.log.info(QStringLiteral("热键按下时状态: 窗口大小=") + QLatin1String(windowSizeName(size))
                    + QStringLiteral(", 录音中=") + logtext::flag(m_with.indicator.isRecording())
                    + QStringLiteral(", 识别中=") + logtext::flag(recognizing));
    if (size == WindowSize::Large || recognizing) {
        m_with.log.info(QStringLiteral("检测到异常状态，执行强制重置"));
        m_with.indicator.resetToInitialState();
        m_with.scheduler.after(kIndicatorRestartDelay, [this, guard = m_lifetime.guard()] {
            if (!guard.expired())
                m_with.indicator.startRecording();
        });
    } else {
        m_with.indicator.startRecording();
    }

    placeIndicator(true);

    const QString mode = settings::recognitionMode(m_with.settings);
    m_with.log.info(QStringLiteral("当前识别模式: ") + mode);
    const bool realtime = mode == QStringLiteral("realtime");
    m_dictationStartedAt = m_with.clock.now();
    ++m_dictation;
    notify([&](DictationObserver& o) {
        o.dictationStarted(m_dictation, realtime ? QStringLiteral("realtime") : QStringLiteral("traditional"),
                           m_with.workspace.frontmostApplication());
    });
    if (realtime)
        startRealtimeRecognition();
    else
        startTraditionalRecording();

    armMaximumDurationTimer();
}

void AppSetupHelper::handleKeyUp()
{
    m_with.console(QStringLiteral("Pressed Up at ")
                   + m_with.clock.now().toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000")));
    placeIndicator(false);

    m_recordingTimer.cancel();
    m_recordingTimer = {};

    if (m_isRecordingHandledByTimeout) {
        m_with.log.info(QStringLiteral("录音已被超时机制处理，跳过热键弹起处理"));
        m_isRecordingHandledByTimeout = false;
        return;
    }

    if (settings::isRealtimeMode(m_with.settings)) {
        m_with.log.info(QStringLiteral("Stop Realtime Recognition"));
        stopRealtimeRecognition();
        m_with.indicator.startRecognizing();
        m_with.log.info(QStringLiteral("实时识别已停止，等待识别结果..."));
        return;
    }
    m_with.log.info(QStringLiteral("启动延迟停止录音定时器"));
    startDelayedStopTimer();
}

void AppSetupHelper::placeIndicator(bool keyDown)
{
    if (!m_with.indicator.hasWindow())
        return;
    if (needsForcedIndicator(m_with.workspace.frontmostApplication())) {
        m_with.indicator.bringToFront(true);
        m_with.log.info(keyDown ? QStringLiteral("热键触发：检测到全屏应用，使用强制显示")
                                : QStringLiteral("热键释放：检测到全屏应用，使用强制显示"));
    } else {
        m_with.indicator.bringToFront(false);
    }
}

// MARK: - Maximum duration

void AppSetupHelper::armMaximumDurationTimer()
{
    const int limit = settings::maxRecordingDurationSeconds(m_with.settings);
    m_with.log.info(QStringLiteral("设置录音超时时间: ") + QString::number(limit) + QStringLiteral("秒"));
    m_recordingTimer.cancel();
    m_recordingTimer = m_with.scheduler.after(std::chrono::seconds(limit), [this, guard = m_lifetime.guard(), limit] {
        if (!guard.expired())
            onMaximumDurationReached(limit);
    });
}

void AppSetupHelper::onMaximumDurationReached(int limit)
{
    m_with.log.info(QStringLiteral("录音达到最大时长限制(") + QString::number(limit) + QStringLiteral("秒)，自动停止录音"));
    m_with.recorder.stopRecording();
    m_with.recorder.setOnAudioSamplesReceived({});
    m_isRecordingHandledByTimeout = true;
    m_with.log.info(QStringLiteral("开始识别录音..."));
    m_with.indicator.startRecognizing();
    if (settings::isRealtimeMode(m_with.settings) && m_tencentASR) {
        // Real-time mode records through the client, not the file recorder:
        // stop its capture exactly as a key-up would, so the microphone
        // closes and the final text still arrives.
        stopRealtimeRecognition();
        return;
    }
    processRecordingAndRecognize();
}

// MARK: - Traditional mode

void AppSetupHelper::startTraditionalRecording()
{
    m_with.recordingFiles.cleanupOldAudioFiles(kRecordingsKept);
    m_currentRecordingFile = m_with.recordingFiles.newAudioFileURL();
    m_with.log.info(QStringLiteral("录音文件路径: ") + m_currentRecordingFile);
    m_with.recorder.setOnAudioSamplesReceived(
        [&scheduler = m_with.scheduler, &indicator = m_with.indicator, guard = m_lifetime.guard()](const QVector<float>& levels) {
            // Arrives on the audio thread; the waveform lives on the main thread.
            scheduler.post([&indicator, guard, levels] {
                if (!guard.expired())
                    indicator.showWaveformLevels(levels);
            });
        });
    m_sounds.play();
    m_with.recorder.startRecording(m_currentRecordingFile);
}

void AppSetupHelper::startDelayedStopTimer()
{
    cancelDelayedStopTimer();
    m_isDelayedStopInProgress = true;
    m_delayedStopTimer = m_with.scheduler.after(kDelayedStop, [this, guard = m_lifetime.guard()] {
        if (guard.expired())
            return;
        m_with.scheduler.post([this, guard] {
            if (guard.expired() || !m_isDelayedStopInProgress)
                return;
            m_with.log.info(QStringLiteral("延迟停止定时器触发，正在停止录音"));
            performActualStopRecording();
            m_isDelayedStopInProgress = false;
        });
    });
    m_with.log.info(QStringLiteral("延迟停止定时器已启动，将在 0.3 秒后停止录音"));
}

void AppSetupHelper::cancelDelayedStopTimer()
{
    m_delayedStopTimer.cancel();
    m_delayedStopTimer = {};
    m_isDelayedStopInProgress = false;
    m_with.log.info(QStringLiteral("延迟停止定时器已取消"));
}

void AppSetupHelper::performActualStopRecording()
{
    // The same test as key-down: any value but "realtime" recorded to a file,
    // and that recorder is what has to stop.
    if (settings::isRealtimeMode(m_with.settings)) {
        m_with.log.info(QStringLiteral("延迟停止：Stop Realtime Recognition"));
        stopRealtimeRecognition();
        m_with.indicator.startRecognizing();
        m_with.log.info(QStringLiteral("延迟停止：实时识别已停止，等待识别结果..."));
        return;
    }
    m_with.log.info(QStringLiteral("延迟停止：Stop Recording"));
    m_with.recorder.stopRecording();
    m_with.recorder.setOnAudioSamplesReceived({});
    m_with.log.info(QStringLiteral("延迟停止：start recognizeAudio..."));
    m_with.indicator.startRecognizing();
    processRecordingAndRecognize();
}

void AppSetupHelper::processRecordingAndRecognize()
{
    if (settings::isRealtimeMode(m_with.settings)) {
        m_with.log.info(QStringLiteral("实时识别模式，识别已完成，但保持识别状态显示"));
        resetRecognitionState();
        return;
    }
    // The file this dictation recorded — never "whatever is newest in the
    // folder", which could be another dictation's or a file of the user's.
    // Taken, not read: a later stop without a new recording must not find it.
    const QString path = std::exchange(m_currentRecordingFile, QString());
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        m_with.log.error(QStringLiteral("没有找到录音文件，但保持识别状态显示"));
        notify([&](DictationObserver& o) { o.failed(m_dictation, QStringLiteral("没有找到录音文件")); });
        resetInternalStateOnly();
        return;
    }
    m_with.log.info(QStringLiteral("识别录音文件: ") + QFileInfo(path).fileName());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_with.log.error(QStringLiteral("读取音频文件数据失败: ") + file.errorString()
                         + QStringLiteral("，但保持识别状态显示"));
        notify([&](DictationObserver& o) {
            o.failed(m_dictation, QStringLiteral("读取音频文件数据失败: ") + file.errorString());
        });
        resetInternalStateOnly();
        return;
    }
    processAudioData(file.readAll(), path);
}

void AppSetupHelper::processAudioData(const QByteArray& data, const QString& filePath)
{
    if (data.size() < kMinimumAudioBytes) {
        m_with.log.info(QStringLiteral("音频文件太小(") + QString::number(data.size()) + QStringLiteral(" bytes)，跳过识别"));
        // Too short to hold speech: nothing was lost.
        notify([&](DictationObserver& o) { o.cancelled(m_dictation); });
        resetRecognitionState();
        return;
    }
    m_with.log.info(QStringLiteral("qasr_voice_type: ") + settings::currentQasrType(m_with.settings));

    const std::optional<FrontAppInfo> frontApp = m_with.textInput.getFrontmostApp();
    m_with.log.info(QStringLiteral("前台应用: ")
                    + logtext::unknownIfAbsent(frontApp ? frontApp->localizedName : std::nullopt)
                    + QStringLiteral(", 进程ID: ") + (frontApp ? QString::number(frontApp->processId) : QStringLiteral("未知"))
                    + QStringLiteral(", Bundle ID: ")
                    + logtext::unknownIfAbsent(frontApp ? frontApp->bundleId : std::nullopt));

    const std::optional<QString> language = settings::outputLanguage(m_with.settings);
    m_with.log.info(QStringLiteral("outLanguage: ") + logtext::orPlaceholder(language, QStringLiteral("nil")));
    const bool overOver = settings::overOverEnabled(m_with.settings);

    const UploadSettings sent{frontApp && frontApp->bundleId ? *frontApp->bundleId : QString(),
                              frontApp && frontApp->localizedName ? *frontApp->localizedName : QString(), language,
                              overOver};
    notifyRecognizing(m_dictation, filePath, sent);
    m_isCurrentlyRecognizing = true;
    const quint64 upload = ++m_uploadSequence;
    m_activeUpload = upload;
    m_currentRecognitionTask = m_with.fileRecognition.recognizeAudioFile(
        recordingUpload(sent, m_with.osType, data),
        [this, guard = m_lifetime.guard(), frontApp, upload,
         dictation = m_dictation](Result<RecognizeAudioFileResponse, ServiceError> result) {
            // A cancelled request may still answer (its reply raced the
            // cancel); the dictation it belonged to is over.
            if (guard.expired() || upload != m_activeUpload)
                return;
            m_activeUpload = 0;
            m_isCurrentlyRecognizing = false;
            m_currentRecognitionTask.reset();
            if (result)
                m_delivery.handleSuccessfulRecognition(dictation, result.value(), frontApp);
            else
                m_delivery.handleFailedRecognition(dictation, result.error());
        });
}

// MARK: - Real-time mode

void AppSetupHelper::startRealtimeRecognition()
{
    m_with.log.info(QStringLiteral("开始实时识别，使用并行连接和录音模式"));
    if (m_tencentASR) {
        // An earlier dictation still waiting for its final text: it never
        // gets it now.
        notify([&](DictationObserver& o) { o.cancelled(m_realtimeDictation); });
        retireRealtimeClient();
    }
    initTencentASR();
    if (!m_tencentASR) {
        m_with.log.error(QStringLiteral("腾讯云实时识别服务未初始化"));
        notify([&](DictationObserver& o) { o.failed(m_dictation, QStringLiteral("腾讯云实时识别服务未初始化")); });
        resetRecognitionState();
        return;
    }
    m_isRealtimeRecognizing = true;
    m_recognitionCompletedViaCallback = false;
    m_preeditDictation = m_realtimeDictation;
    m_sounds.play();
    m_with.log.info(QStringLiteral("腾讯云ASR服务开始并行连接和录音..."));
    m_tencentASR->connectAndStartRecording();
}

void AppSetupHelper::initTencentASR()
{
    if (m_tencentASR)
        return;
    m_tencentASR = m_with.realtimeClientFactory ? m_with.realtimeClientFactory() : nullptr;
    if (!m_tencentASR)
        return;
    m_realtimeDictation = m_dictation;
    m_tencentASR->setRecognitionCompletionHandler([this, guard = m_lifetime.guard(), dictation = m_dictation](const QString& text) {
        if (!guard.expired())
            onRealtimeFinalText(dictation, text);
    });
    m_tencentASR->setPartialTextHandler([this, guard = m_lifetime.guard(), dictation = m_dictation](const QString& text) {
        if (!guard.expired())
            showPartialText(dictation, text);
    });
    m_with.log.info(QStringLiteral("腾讯云实时识别服务已初始化"));
}

void AppSetupHelper::showPartialText(DictationId dictation, const QString& text)
{
    // Each partial replaces the last; one of an earlier dictation shows nothing.
    if (!m_preedit || dictation != m_preeditDictation)
        return;
    if (text.isEmpty())
        m_preedit->clearPreedit();
    else
        m_preedit->showPreedit(text);
}

void AppSetupHelper::clearPartialText()
{
    m_preeditDictation = 0;
    if (m_preedit)
        m_preedit->clearPreedit();
}

void AppSetupHelper::onRealtimeFinalText(DictationId dictation, const QString& text)
{
    m_with.log.info(QStringLiteral("🎯 收到识别完成回调，最终文本: '") + text + QLatin1Char('\''));
    // A retired client has had its say: either the result wait already
    // delivered its text, or a newer dictation replaced it. Delivering again
    // would type the text twice, or into the next dictation.
    if (!m_tencentASR || dictation != m_realtimeDictation) {
        m_with.log.info(QStringLiteral("ℹ️ 识别会话已结束，忽略迟到的完成回调"));
        return;
    }
    m_recognitionCompletedViaCallback = true;
    m_delivery.handleRealtimeRecognitionResult(dictation, text);
    cleanupRealtimeConnection();
}

void AppSetupHelper::stopRealtimeRecognition()
{
    if (!m_tencentASR)
        return;
    m_with.log.info(QStringLiteral("停止实时语音识别，等待最终结果"));
    m_tencentASR->stopRecording();
    m_isRealtimeRecognizing = false;
    notifyRecognizing(m_realtimeDictation, QString());
    m_with.log.info(QStringLiteral("设置实时识别结果等待超时时间: ") + QString::number(kResultWaitSeconds)
                    + QStringLiteral("秒（降低超时时间，依赖final=1消息）"));
    m_with.scheduler.after(std::chrono::seconds(kResultWaitSeconds),
                           [this, guard = m_lifetime.guard(), dictation = m_realtimeDictation] {
                               if (!guard.expired())
                                   onResultWaitTimeout(dictation);
                           });
}

void AppSetupHelper::onResultWaitTimeout(DictationId dictation)
{
    // A timeout armed for an earlier client finds "its" client gone.
    const bool ownClient = m_tencentASR && dictation == m_realtimeDictation;
    if (ownClient && m_recognitionCompletedViaCallback) {
        m_with.log.info(QStringLiteral("✅ 识别已通过回调完成，跳过超时处理"));
        return;
    }
    if (!ownClient) {
        m_with.log.info(QStringLiteral("ℹ️ 超时检查时tencentASR已被清理，识别可能已完成"));
        return;
    }
    m_with.log.warning(QStringLiteral("⏰ 实时识别结果等待超时(") + QString::number(kResultWaitSeconds)
                       + QStringLiteral("秒)，检查当前状态"));
    const QString current = m_tencentASR->currentText();
    const QString final = m_tencentASR->finalText();
    const QString chosen = current.isEmpty() ? final : current;
    m_with.log.info(QStringLiteral("📊 超时时状态 - 当前文本: [") + current + QStringLiteral("], 最终文本: [") + final
                    + QStringLiteral("], 选择结果: [") + chosen + QLatin1Char(']'));
    if (!chosen.isEmpty()) {
        m_with.log.info(QStringLiteral("✅ 使用超时识别结果: [") + chosen + QLatin1Char(']'));
        m_delivery.handleRealtimeRecognitionResult(dictation, chosen);
    } else {
        m_with.log.warning(QStringLiteral("❌ 超时且没有识别到任何内容"));
        notify([&](DictationObserver& o) { o.failed(dictation, QStringLiteral("超时且没有识别到任何内容")); });
        endDictation(dictation);
    }
    cleanupRealtimeConnection();
}

void AppSetupHelper::cleanupRealtimeConnection()
{
    m_with.log.info(QStringLiteral("清理实时识别连接资源"));
    retireRealtimeClient();
}

void AppSetupHelper::retireRealtimeClient()
{
    if (!m_tencentASR)
        return;
    m_tencentASR->disconnect();
    // Destroyed on the next turn of the loop: this may run inside the
    // client's own completion callback.
    std::shared_ptr<RealtimeRecognitionClient> retired(std::move(m_tencentASR));
    m_with.scheduler.post([retired] {});
}

// MARK: - Cancel and reset

void AppSetupHelper::notifyRecognizing(DictationId dictation, const QString& recordingPath,
                                       const UploadSettings& upload)
{
    const double duration = static_cast<double>(m_dictationStartedAt.msecsTo(m_with.clock.now())) / 1000.0;
    notify([&](DictationObserver& o) { o.recognizing(dictation, duration, recordingPath, upload); });
}

void AppSetupHelper::cancelCurrentRecognition()
{
    clearPartialText();
    // The flags are the current dictation's.
    if (m_isCurrentlyRecognizing || m_isRealtimeRecognizing)
        notify([&](DictationObserver& o) { o.cancelled(m_dictation); });
    if (m_isCurrentlyRecognizing) {
        m_with.log.info(QStringLiteral("正在中断当前识别任务"));
        if (m_currentRecognitionTask) {
            m_currentRecognitionTask->cancel();
            m_currentRecognitionTask.reset();
        }
        m_activeUpload = 0;
        m_isCurrentlyRecognizing = false;
        m_with.indicator.finishRecognizing();
        m_with.log.info(QStringLiteral("识别任务已中断，窗口状态已重置"));
    }
    if (m_isRealtimeRecognizing) {
        m_with.log.info(QStringLiteral("正在中断实时识别任务"));
        if (m_tencentASR) {
            m_tencentASR->stopRecording();
            // Cancelled means nothing of it is typed later: its final text
            // and its result wait find the client gone.
            retireRealtimeClient();
        }
        m_isRealtimeRecognizing = false;
        m_with.indicator.finishRecognizing();
        m_with.log.info(QStringLiteral("实时识别任务已中断，窗口状态已重置"));
    }
}

void AppSetupHelper::clearDictationState()
{
    // Delivery committed the final text before this (the commit takes the
    // preedit with it); on every other way out the partial text goes too.
    clearPartialText();
    m_isCurrentlyRecognizing = false;
    m_currentRecognitionTask.reset();
    m_isRealtimeRecognizing = false;
    m_recognitionCompletedViaCallback = false;
}

void AppSetupHelper::endDictation(DictationId dictation)
{
    if (dictation != m_dictation) {
        m_with.log.info(QStringLiteral("ℹ️ 上一次听写已结束，当前听写的状态保持不变"));
        return;
    }
    resetRecognitionState();
}

void AppSetupHelper::resetRecognitionState()
{
    m_sounds.play();
    clearDictationState();
    m_with.indicator.finishRecognizing();
}

void AppSetupHelper::resetInternalStateOnly()
{
    m_with.log.info(QStringLiteral("重置内部识别状态，保持悬浮窗识别状态显示"));
    clearDictationState();
    m_indicatorFinishTimer.cancel();
    m_indicatorFinishTimer = m_with.scheduler.after(kIndicatorFinishDelay, [this, guard = m_lifetime.guard()] {
        if (!guard.expired())
            m_with.indicator.finishRecognizing();
    });
}

} // namespace velnor
