#include "asr/TencentASRExample.h"

#include "asr/MainQueue.h"
#include "asr/Pacer.h"
#include "asr/TencentASRFactory.h"
#include "log/SecretRedactor.h"
#include "core/Graphemes.h"
#include "log/TencentASRLogger.h"

#include <QDateTime>

namespace velnor {

namespace {

constexpr auto cacheTimeout = seconds(10.0);
constexpr auto uploadStagger = std::chrono::microseconds(5000);

QString formatLine(const AudioFormat& format)
{
    return QStringLiteral("%1, 通道数: %2, 格式: %3")
        .arg(QString::number(double(format.sampleRate), 'f', 1))
        .arg(format.channelCount)
        .arg(describe(format));
}

} // namespace

TencentASRExample::TencentASRExample(TencentASRExampleDependencies dependencies)
    : m_deps(std::move(dependencies))
    , m_log(m_deps.environment.log)
    , m_uploadQueue(std::make_unique<SerialQueue>(QStringLiteral("com.velnor.upload")))
    , m_audioCacheQueue(std::make_unique<SerialQueue>(QStringLiteral("com.velnor.audiocache")))
{
    setupASRService();
}

TencentASRExample::~TencentASRExample()
{
    m_closing = true;
    stopCapture();
    m_cacheTimeoutTimer.cancel();
    // Cache work may hand buffers to the upload queue, and both hand them to
    // the service: drain in that order while the service still exists.
    m_audioCacheQueue.reset();
    m_uploadQueue.reset();
    m_asrService.reset();
}

void TencentASRExample::setupASRService()
{
    if (m_deps.redactor && !m_deps.defaultConfig.secretKey.isEmpty())
        m_deps.redactor->addSecret(m_deps.defaultConfig.secretKey);
    TencentASRFactory::ConfigBuilder builder(m_deps.defaultConfig);
    builder.engineModelType = QStringLiteral("16k_zh");
    builder.audioFormat = QStringLiteral("pcm");
    builder.connectionTimeout = 30.0;
    m_asrService = builder.build(m_deps.environment);
    m_asrService->setDelegate(this);

    m_log.setLogLevel(TencentASRLogLevel::Debug);
    m_log.setEnableConsoleOutput(true);
    m_log.setEnableFileOutput(true);
    m_log.setupLogFile();

    m_log.info(QStringLiteral("🔧 腾讯云ASR配置信息:"));
    m_log.info(QStringLiteral("   AppID: ") + builder.appId);
    m_log.info(QStringLiteral("   SecretId: ") + builder.secretId);
    m_log.info(QStringLiteral("   引擎模型: chinese16k"));
    m_log.info(QStringLiteral("   采样率: 16000Hz"));
    m_log.info(QStringLiteral("   音频格式: PCM"));
    m_log.info(QStringLiteral("   连接超时: 30.0秒"));
}

void TencentASRExample::connectAndStartRecording()
{
    m_log.info(QStringLiteral("开始并行连接和录音模式"));
    startRecordingWithCache();
    if (!m_asrService) {
        m_errorMessage = QStringLiteral("ASR服务未初始化");
        return;
    }
    m_log.info(QStringLiteral("开始连接腾讯云ASR服务"));
    m_asrService->connect();
}

void TencentASRExample::startRecordingWithCache()
{
    m_log.info(QStringLiteral("🎙️ 开始录音并缓存音频数据"));
    // The answer may come after this client is gone: the continuation holds
    // the main queue itself (it outlives every client), never `this`.
    auto continueWith = [this, &mainQueue = m_deps.environment.mainQueue, life = std::weak_ptr<char>(m_life)](bool granted) {
        mainQueue.post([this, life, granted] {
            if (!life.expired())
                setupAudioRecordingWithCache(granted);
        });
    };
    // The file recorder's rule too: only a refusal by the system stops it.
    const auto status = m_deps.permission.status();
    if (status == MicrophonePermission::Status::NotDetermined)
        m_deps.permission.request(continueWith);
    else
        continueWith(mayRecord(status));
}

void TencentASRExample::setupAudioRecordingWithCache(bool granted)
{
    if (!granted) {
        m_log.error(QStringLiteral("❌ 麦克风权限被拒绝，无法进行语音识别"));
        m_errorMessage = QStringLiteral("需要麦克风权限才能进行语音识别");
        return;
    }
    if (m_recordingStopped) {
        // The dictation ended while the answer was on its way.
        return;
    }
    m_isCachingAudio = true;
    m_shouldFlushCacheOnConnection = true;
    m_log.info(QStringLiteral("设置缓存模式音频录制"));
    setupAudioEngineWithCache();
    m_isRecording = true;
    resetTexts();
    m_cacheTimeoutTimer.cancel();
    m_cacheTimeoutTimer = m_deps.environment.scheduler.after(cacheTimeout, [this, life = std::weak_ptr<char>(m_life)] {
        if (!life.expired())
            startCacheTimeoutTimer();
    });
    m_log.info(QStringLiteral("✅ 开始缓存模式录音，等待连接就绪"));
}

void TencentASRExample::startCacheTimeoutTimer()
{
    m_log.warning(QStringLiteral("连接超时，清理音频缓存"));
    clearAudioCache();
    m_errorMessage = QStringLiteral("连接超时，请重试");
}

void TencentASRExample::setupAudioEngineWithCache()
{
    m_capture = m_deps.captureFactory ? m_deps.captureFactory() : nullptr;
    std::optional<AudioFormat> input = m_capture && m_capture->isAvailable() ? m_capture->inputFormat() : std::nullopt;
    if (!m_capture || !input || !input->isValid()) {
        m_log.error(QStringLiteral("无法创建音频引擎"));
        m_capture.reset();
        return;
    }
    m_log.debug(QStringLiteral("缓存模式 - 输入节点格式 - 采样率: ") + formatLine(*input));
    const AudioFormat target = targetFormat();
    m_log.debug(QStringLiteral("缓存模式 - 目标格式 - 采样率: ") + formatLine(target));
    m_resampler.reset();
    if (!(*input == target)) {
        m_resampler = m_deps.resamplerFactory ? m_deps.resamplerFactory(*input, target) : nullptr;
        if (!m_resampler)
            m_log.error(QStringLiteral("无法创建音频转换器，从格式: ") + describe(*input) + QStringLiteral(" 到 ")
                        + describe(target));
    }

    auto tap = [this](const AudioBuffer& buffer) {
        if (m_closing)
            return;
        if (buffer.frameCount() == 0) {
            m_log.warning(QStringLiteral("收到空音频缓冲区"));
            return;
        }
        std::optional<AudioBuffer> converted = convertAudioBuffer(buffer);
        if (!converted) {
            m_log.error(QStringLiteral("音频格式转换失败"));
            return;
        }
        if (converted->frameCount() == 0) {
            m_log.warning(QStringLiteral("转换后的音频缓冲区为空"));
            return;
        }
        m_audioCacheQueue->async([this, copy = *converted] { handleAudioBufferWithCache(copy); });
    };
    if (const auto failure = m_capture->start(framesPerBuffer, tap)) {
        m_errorMessage = QStringLiteral("音频引擎启动失败: ") + *failure;
        m_log.error(QStringLiteral("缓存模式音频引擎启动失败: ") + *failure);
        m_capture.reset();
        return;
    }
    m_log.info(QStringLiteral("缓存模式音频引擎启动成功，缓冲区大小: ") + QString::number(framesPerBuffer));
}

std::optional<AudioBuffer> TencentASRExample::convertAudioBuffer(const AudioBuffer& input)
{
    if (input.frameCount() == 0) {
        m_log.error(QStringLiteral("输入音频缓冲区为空"));
        return std::nullopt;
    }
    if (input.format == targetFormat())
        return input;
    if (!m_resampler)
        return std::nullopt;
    return m_resampler->convert(input);
}

void TencentASRExample::handleAudioBufferWithCache(const AudioBuffer& buffer)
{
    if (!m_isCachingAudio) {
        if (m_routeThroughUpload) {
            m_uploadQueue->async([this, buffer] { m_asrService->sendAudioBuffer(buffer); });
        } else {
            m_asrService->sendAudioBuffer(buffer);
        }
        return;
    }
    // AudioBuffer owns its bytes (implicitly shared, copied on write), so
    // keeping the value is the copy.
    m_cachedAudioBuffers.append(buffer);
    const int count = int(m_cachedAudioBuffers.size());
    if (count % 100 == 0)
        m_log.debug(QStringLiteral("📦 音频缓存中，当前数量: ") + QString::number(count));
    if (count > cacheLimit) {
        m_cachedAudioBuffers.removeFirst();
        m_log.error(QStringLiteral("⚠️ 音频缓存达到上限，移除最早的缓存"));
    }
    m_cachedCount = int(m_cachedAudioBuffers.size());
}

void TencentASRExample::flushCachedAudio()
{
    if (!m_shouldFlushCacheOnConnection || m_flushPending)
        return;
    m_log.info(QStringLiteral("🚀 连接就绪，开始处理缓存音频。当前缓存: ") + QString::number(m_cachedAudioBuffers.size())
               + QStringLiteral(" 个缓冲区"));
    m_flushPending = true;
    // Recognition must be running before the first cached buffer reaches the
    // service (which drops audio until then): start it on the main thread
    // first, and only then come back here to hand the cache over.
    m_deps.environment.mainQueue.post([this, life = std::weak_ptr<char>(m_life)] {
        if (life.expired())
            return;
        m_cacheTimeoutTimer.cancel();
        m_cacheTimeoutTimer = {};
        m_asrService->startRecognition();
        m_audioCacheQueue->async([this] { finishFlush(); });
    });
}

void TencentASRExample::finishFlush()
{
    m_flushPending = false;
    if (!m_shouldFlushCacheOnConnection)
        return; // the cache was given up meanwhile
    m_isCachingAudio = false;
    m_routeThroughUpload = true;
    if (m_cachedAudioBuffers.isEmpty()) {
        m_log.debug(QStringLiteral("ℹ️ 无缓存音频需要上传"));
    } else {
        QList<AudioBuffer> buffers;
        buffers.swap(m_cachedAudioBuffers);
        m_cachedCount = 0;
        m_log.info(QStringLiteral("📤 开始上传 ") + QString::number(buffers.size()) + QStringLiteral(" 个缓存音频缓冲区"));
        uploadCachedBuffersInParallel(std::move(buffers));
    }
    m_shouldFlushCacheOnConnection = false;
    m_log.info(QStringLiteral("✅ 已切换到实时传输模式，新音频将直接发送"));
    // A stop that came while the connection was not ready still ends the
    // stream, after the cache. Only a stop already queued here counts: the
    // buffers captured before it are still ahead of it on this queue.
    if (m_stopQueued)
        stopRecognitionAfterQueuedAudio();
}

void TencentASRExample::uploadCachedBuffersInParallel(QList<AudioBuffer> buffers)
{
    const qsizetype count = buffers.size();
    m_log.info(QStringLiteral("⚡ 开始快速上传 ") + QString::number(count) + QStringLiteral(" 个缓存音频缓冲区"));
    // One job walks the list with the stagger, so live audio queued behind it
    // (same queue) can never overtake a cached buffer.
    m_uploadQueue->async([this, buffers = std::move(buffers), count] {
        Pacer& pacer = m_deps.environment.pacer;
        const Pacer::TimePoint start = pacer.now();
        for (qsizetype i = 0; i < count; ++i) {
            if (m_closing)
                return;
            pacer.sleepUntil(start + uploadStagger * i);
            m_asrService->sendAudioBuffer(buffers[i]);
            if ((i + 1) % 50 == 0 || i == count - 1)
                m_log.debug(QStringLiteral("📊 已上传缓存音频 %1/%2").arg(i + 1).arg(count));
            if (i == count - 1)
                m_log.info(QStringLiteral("✅ 所有缓存音频数据上传完成，共 ") + QString::number(count)
                           + QStringLiteral(" 个缓冲区"));
        }
    });
}

void TencentASRExample::stopRecognitionAfterQueuedAudio()
{
    // Runs on the cache queue: behind every buffer the capture delivered.
    if (m_flushPending)
        return; // finishFlush() will issue the stop after the cache
    auto stop = [this, life = std::weak_ptr<char>(m_life)] {
        m_deps.environment.mainQueue.post([this, life] {
            if (!life.expired() && m_asrService)
                m_asrService->stopRecognition();
        });
    };
    if (m_routeThroughUpload)
        m_uploadQueue->async(stop);
    else
        stop();
}

void TencentASRExample::clearAudioCache()
{
    m_audioCacheQueue->async([this] {
        const qsizetype count = m_cachedAudioBuffers.size();
        m_cachedAudioBuffers.clear();
        m_cachedCount = 0;
        m_isCachingAudio = false;
        m_shouldFlushCacheOnConnection = false;
        m_log.debug(QStringLiteral("🧹 音频缓存已清理，清理了 ") + QString::number(count) + QStringLiteral(" 个缓冲区"));
    });
    m_cacheTimeoutTimer.cancel();
    m_cacheTimeoutTimer = {};
}

void TencentASRExample::stopCapture()
{
    if (m_capture) {
        m_capture->stop();
        m_capture.reset();
    }
}

void TencentASRExample::stopRecording()
{
    m_log.info(QStringLiteral("🛑 开始停止录音和识别"));
    stopCapture();
    m_recordingStopped = true;
    m_isRecording = false;
    // Runs behind the buffers the capture already delivered: clearing the
    // caching flag from here would send those past the cache (and drop them
    // while recognition has not started). The service's stop (remainder and
    // end marker) likewise follows every captured buffer, cached ones too.
    m_audioCacheQueue->async([this] {
        m_stopQueued = true;
        if (m_isCachingAudio) {
            m_log.info(QStringLiteral("⏸️ 停止录音时仍在缓存模式，保留缓存数据等待连接，当前缓存数量: ")
                       + QString::number(m_cachedAudioBuffers.size()));
            m_isCachingAudio = false;
        }
        stopRecognitionAfterQueuedAudio();
    });
    m_log.info(QStringLiteral("✅ 录音和识别已停止"));
}

void TencentASRExample::disconnect()
{
    if (m_asrService)
        m_asrService->disconnect();
    stopRecording();
    clearAudioCache();
    m_cacheTimeoutTimer.cancel();
    m_cacheTimeoutTimer = {};
    m_log.info(QStringLiteral("断开ASR服务连接"));
}

void TencentASRExample::resetTexts()
{
    m_currentText.clear();
    m_finalText.clear();
    m_errorMessage.clear();
}

void TencentASRExample::waitForAudioQueues()
{
    m_audioCacheQueue->waitUntilIdle();
    m_uploadQueue->waitUntilIdle();
    if (m_asrService)
        m_asrService->waitForProcessing();
}

void TencentASRExample::tencentASRServiceDidChangeConnectionState(TencentASRService&,
                                                                  const TencentASRConnectionState& state)
{
    using Kind = TencentASRConnectionState::Kind;
    m_log.debug(QStringLiteral("🔄 连接状态变化: ") + state.statusText());
    m_isConnected = state.is(Kind::Connected) || state.is(Kind::Authenticating) || state.is(Kind::Ready);
    m_connectionStatus = state.statusText();
    if (state.is(Kind::Ready)) {
        m_log.info(QStringLiteral("🔗 连接就绪，开始刷新缓存音频，缓存数量: ") + QString::number(m_cachedCount.load()));
        m_audioCacheQueue->async([this] { flushCachedAudio(); });
    }
    if (state.is(Kind::Connected))
        m_errorMessage.clear();
}

void TencentASRExample::tencentASRServiceDidReceiveResult(TencentASRService&, const TencentASRResult& result)
{
    m_log.info(QStringLiteral("🎯 收到识别结果 - 文本: [") + result.voiceTextStr + QStringLiteral("], 类型: ")
               + sliceTypeName(result.sliceType) + QStringLiteral(", 索引: ") + QString::number(result.index));
    m_log.info(QStringLiteral("✅ 识别成功，文本长度: ") + QString::number(graphemeCount(result.voiceTextStr)));
}

void TencentASRExample::tencentASRServiceDidReceivePartialResult(TencentASRService&, const QString& text)
{
    m_currentText = text;
    if (text.isEmpty())
        m_log.warning(QStringLiteral("📝 部分识别结果为空"));
    else
        m_log.info(QStringLiteral("📝 部分识别结果: [") + text + QStringLiteral("], 长度: ") + QString::number(graphemeCount(text)));
    if (m_partialText)
        m_partialText(text);
}

void TencentASRExample::tencentASRServiceDidReceiveFinalResult(TencentASRService&, const QString& text)
{
    m_finalText = text;
    if (text.isEmpty())
        m_log.warning(QStringLiteral("❌ 最终识别结果为空文本"));
    else
        m_log.info(QStringLiteral("🎉 最终识别成功: [") + text + QStringLiteral("], 长度: ") + QString::number(graphemeCount(text)));
}

void TencentASRExample::tencentASRServiceDidEncounterError(TencentASRService&, const TencentASRError& error)
{
    m_errorMessage = error.description();
    if (m_isCachingAudio) {
        m_log.warning(QStringLiteral("连接失败时清理音频缓存"));
        clearAudioCache();
    }
    m_log.error(QStringLiteral("💥 ASR识别失败 - 错误类型: TencentASRError, 描述: ") + error.description());
    using Kind = TencentASRError::Kind;
    switch (error.kind()) {
    case Kind::ConfigurationError:
        m_log.error(QStringLiteral("⚙️ 配置错误: ") + error.message());
        break;
    case Kind::ConnectionError:
        m_log.error(QStringLiteral("🔌 连接错误: ") + error.message());
        break;
    case Kind::AuthenticationError:
        m_log.error(QStringLiteral("🔐 认证错误: ") + error.message());
        break;
    case Kind::AudioFormatError:
        m_log.error(QStringLiteral("🎵 音频格式错误: ") + error.message());
        break;
    case Kind::NetworkError:
        m_log.error(QStringLiteral("🌐 网络错误: ") + error.message());
        break;
    case Kind::ServerError:
        m_log.error(QStringLiteral("🔧 服务器错误 - 代码: ") + QString::number(error.code()) + QStringLiteral(", 消息: ")
                    + error.message());
        break;
    case Kind::ParseError:
        m_log.error(QStringLiteral("📄 解析错误: ") + error.message());
        break;
    case Kind::UnknownError:
        m_log.error(QStringLiteral("❓ 未知错误: ") + error.message());
        break;
    case Kind::TimeoutError:
        m_log.error(QStringLiteral("⏰ 连接超时"));
        break;
    }
}

void TencentASRExample::tencentASRServiceDidComplete(TencentASRService&)
{
    m_isRecording = false;
    m_log.info(QStringLiteral("🏁 语音识别完成，最终文本: '") + m_finalText + QStringLiteral("', 当前文本: '") + m_currentText
               + QStringLiteral("', 时间: ") + QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
    const QString result = m_finalText.isEmpty() ? m_currentText : m_finalText;
    if (!result.isEmpty())
        m_log.info(QStringLiteral("✅ 识别完成且有结果 - 文本长度: ") + QString::number(graphemeCount(result)));
    else
        m_log.warning(QStringLiteral("⚠️ 识别完成但结果为空 - 最终文本为空且当前文本也为空"));
    m_log.info(QStringLiteral("📤 发送完成回调，文本: '") + result + QLatin1Char('\''));
    if (m_completion)
        m_completion(result);
    else
        m_log.warning(QStringLiteral("⚠️ 没有设置完成回调处理器"));
}

} // namespace velnor
