#include "asr/TencentASRService.h"

#include "asr/MainQueue.h"
#include "core/Graphemes.h"
#include "log/TencentASRLogger.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velnor {

namespace {

constexpr auto packetInterval = std::chrono::milliseconds(40);


qint16 floatToInt16(float x)
{
    if (std::isnan(x))
        return 0;
    const float limited = std::clamp(x, -1.0f, 1.0f);
    return static_cast<qint16>(std::trunc(limited * 32767.0f));
}

} // namespace

TencentASRService::TencentASRService(TencentASRConfig config, const TencentASREnvironment& environment)
    : m_config(std::move(config))
    , m_environment(environment)
    , m_log(environment.log)
{
}

TencentASRService::~TencentASRService()
{
    // Backlogged packets of this service are not streamed any more.
    ++m_epoch;
    m_isRecognizing = false;
}

void TencentASRService::postToDelegate(std::function<void(TencentASRServiceDelegate&)> call)
{
    m_environment.mainQueue.post([this, life = std::weak_ptr<char>(m_life), call = std::move(call)] {
        if (!life.expired() && m_delegate)
            call(*m_delegate);
    });
}

std::optional<TencentASRError> TencentASRService::validateConfig() const
{
    if (m_config.appId.isEmpty())
        return TencentASRError::configurationError(QStringLiteral("AppID不能为空"));
    if (m_config.secretId.isEmpty())
        return TencentASRError::configurationError(QStringLiteral("SecretId不能为空"));
    if (m_config.secretKey.isEmpty())
        return TencentASRError::configurationError(QStringLiteral("SecretKey不能为空"));
    return std::nullopt;
}

void TencentASRService::connect()
{
    m_log.debug(QStringLiteral("🔗 准备连接腾讯云实时语音识别服务..."));
    if (const auto error = validateConfig()) {
        m_log.error(QStringLiteral("❌ 配置验证失败: ") + error->description());
        handleError(*error);
        return;
    }
    m_log.debug(QStringLiteral("✅ 配置验证通过 - AppID: ") + m_config.appId + QStringLiteral(", 采样率: ")
                + QString::number(m_config.sampleRate) + QStringLiteral(", 语言: ") + m_config.engineModelType);
    m_webSocketClient = std::make_unique<TencentASRWebSocketClient>(m_config, m_environment);
    m_webSocketClient->setDelegate(this);
    m_webSocketClient->connect();
    m_log.info(QStringLiteral("🚀 开始连接腾讯云实时语音识别服务"));
}

void TencentASRService::disconnect()
{
    m_log.debug(QStringLiteral("🔌 开始断开腾讯云实时语音识别服务..."));
    if (m_isRecognizing) {
        m_log.debug(QStringLiteral("⏹️ 停止正在进行的识别任务"));
        m_isRecognizing = false;
    }
    ++m_epoch;
    if (m_webSocketClient) {
        m_webSocketClient->disconnect();
        m_webSocketClient.reset();
    }
    resetRecognitionState();
    // The client's own report dies with it: say it here, so a later
    // startRecognition() cannot believe the old connection is still ready.
    if (!m_connectionState.is(TencentASRConnectionState::Kind::Disconnected)) {
        m_connectionState = TencentASRConnectionState::disconnected();
        postToDelegate([this](TencentASRServiceDelegate& d) {
            d.tencentASRServiceDidChangeConnectionState(*this, TencentASRConnectionState::disconnected());
        });
    }
    m_log.debug(QStringLiteral("✅ 已断开腾讯云实时语音识别服务"));
}

void TencentASRService::startRecognition()
{
    m_log.info(QStringLiteral("🎤 准备开始语音识别..."));
    if (!m_connectionState.is(TencentASRConnectionState::Kind::Ready)) {
        const TencentASRError error = TencentASRError::connectionError(QStringLiteral("WebSocket未就绪，当前状态: ")
                                                                       + m_connectionState.statusText());
        m_log.error(QStringLiteral("❌ 无法开始识别: ") + error.description());
        handleError(error);
        return;
    }
    m_log.debug(QStringLiteral("✅ WebSocket连接就绪，开始初始化识别状态"));
    // The reset is queued before the flag opens the gate, so no new audio
    // can be cleared by it.
    resetRecognitionState();
    m_isRecognizing = true;
    if (m_webSocketClient)
        m_webSocketClient->startAudioStream();
    m_log.info(QStringLiteral("🚀 语音识别已启动，等待音频数据..."));
}

void TencentASRService::stopRecognition()
{
    if (!m_isRecognizing) {
        m_log.debug(QStringLiteral("⚠️ 识别未在进行中，无需停止"));
        return;
    }
    m_log.debug(QStringLiteral("⏹️ 开始停止语音识别..."));
    m_isRecognizing = false;
    const quint64 epoch = m_epoch;
    // The remainder and the end marker follow every packet already queued:
    // both run behind them on the processing queue, then hop to the client.
    m_audioProcessingQueue.async([this, epoch] {
        if (epoch != m_epoch)
            return;
        if (!m_audioBuffer.isEmpty()) {
            m_log.debug(QStringLiteral("📤 发送剩余音频缓冲区数据: ") + QString::number(m_audioBuffer.size())
                        + QStringLiteral("字节"));
            sendBufferedRemainder();
        } else {
            m_log.debug(QStringLiteral("📭 音频缓冲区为空，无需发送剩余数据"));
        }
        m_environment.mainQueue.post([this, life = std::weak_ptr<char>(m_life), epoch] {
            if (life.expired() || epoch != m_epoch)
                return;
            if (m_webSocketClient)
                m_webSocketClient->stopAudioStream();
            m_log.info(QStringLiteral("✅ 语音识别已停止"));
        });
    });
}

void TencentASRService::sendAudioBuffer(const AudioBuffer& buffer)
{
    const qint64 frames = buffer.frameCount();
    if (!m_isRecognizing) {
        m_log.debug(QStringLiteral("⚠️ 识别未启动，忽略PCM音频缓冲区: ") + QString::number(frames) + QStringLiteral("帧"));
        return;
    }
    m_log.debug(QStringLiteral("🎵 接收PCM音频缓冲区: ") + QString::number(frames) + QStringLiteral("帧"));
    const std::optional<QByteArray> bytes = convertPCMBufferToData(buffer, m_log);
    if (!bytes) {
        m_log.error(QStringLiteral("❌ 音频缓冲区转换失败 - 帧数: ") + QString::number(frames) + QStringLiteral(", 格式: ")
                    + describe(buffer.format));
        return;
    }
    m_log.debug(QStringLiteral("✅ PCM转换成功: ") + QString::number(frames) + QStringLiteral("帧 -> ")
                + QString::number(bytes->size()) + QStringLiteral("字节"));
    sendAudioData(*bytes);
}

void TencentASRService::sendAudioData(const QByteArray& data)
{
    if (!m_isRecognizing) {
        m_log.debug(QStringLiteral("⚠️ 识别未启动，忽略音频数据: ") + QString::number(data.size()) + QStringLiteral("字节"));
        return;
    }
    m_log.debug(QStringLiteral("🎵 接收音频数据: ") + QString::number(data.size()) + QStringLiteral("字节"));
    const quint64 epoch = m_epoch;
    m_audioProcessingQueue.async([this, data, epoch] { processAudioData(data, epoch); });
}

void TencentASRService::processAudioData(const QByteArray& data, quint64 epoch)
{
    if (epoch != m_epoch)
        return;
    m_audioBuffer.append(data);
    const qint64 packet = packetSize();
    m_log.debug(QStringLiteral("处理音频数据: 接收%1字节, 缓冲区总计%2字节, 需要%3字节/包")
                    .arg(data.size())
                    .arg(m_audioBuffer.size())
                    .arg(packet));
    if (packet <= 0)
        return;
    Pacer& pacer = m_environment.pacer;
    while (m_audioBuffer.size() >= packet && epoch == m_epoch) {
        const QByteArray chunk = m_audioBuffer.left(packet);
        m_audioBuffer.remove(0, packet);
        if (m_lastAudioSendTime && pacer.now() - *m_lastAudioSendTime < packetInterval)
            pacer.sleepUntil(*m_lastAudioSendTime + packetInterval);
        handToClient(chunk);
        m_lastAudioSendTime = pacer.now();
    }
}

void TencentASRService::sendBufferedRemainder()
{
    if (m_audioBuffer.isEmpty()) {
        m_log.debug(QStringLiteral("📭 音频缓冲区为空，无需发送"));
        return;
    }
    m_log.debug(QStringLiteral("📤 发送音频缓冲区: ") + QString::number(m_audioBuffer.size()) + QStringLiteral("字节"));
    handToClient(m_audioBuffer);
    m_audioBuffer.clear();
    m_log.debug(QStringLiteral("🗑️ 清空音频缓冲区"));
}

void TencentASRService::handToClient(const QByteArray& packet)
{
    // The client lives on the main thread; packets hop there in order.
    m_environment.mainQueue.post([this, life = std::weak_ptr<char>(m_life), packet, epoch = m_epoch.load()] {
        if (!life.expired() && epoch == m_epoch && m_webSocketClient)
            m_webSocketClient->sendAudioData(packet);
    });
}

std::optional<QByteArray> TencentASRService::convertPCMBufferToData(const AudioBuffer& buffer, TencentASRLogger& log)
{
    const qint64 frames = buffer.frameCount();
    if (frames == 0) {
        log.error(QStringLiteral("音频缓冲区为空，frameLength: ") + QString::number(frames));
        return std::nullopt;
    }
    const AudioFormat& format = buffer.format;
    log.debug(QStringLiteral("音频格式 - 采样率: %1, 通道数: %2, 位深: %3")
                  .arg(format.sampleRate)
                  .arg(format.channelCount)
                  .arg(commonFormatNumber(format.sampleType)));
    const int bytesPerSample = format.bytesPerSample();
    const qint64 needed = frames * format.bytesPerFrame();
    if (format.channelCount <= 0 || buffer.data.size() < needed) {
        log.error(QStringLiteral("无法获取音频通道数据，格式: %1, 通道数: %2")
                      .arg(commonFormatNumber(format.sampleType))
                      .arg(format.channelCount));
        return std::nullopt;
    }
    // Channel 0 only: interleaved frames step over the other channels; a
    // planar buffer holds channel 0 as its first block.
    const qint64 stride = format.interleaved ? qint64(bytesPerSample) * format.channelCount : bytesPerSample;
    const char* source = buffer.data.constData();
    QByteArray out(frames * 2, Qt::Uninitialized);
    char* target = out.data();
    for (qint64 i = 0; i < frames; ++i) {
        const char* sample = source + i * stride;
        qint16 value = 0;
        switch (format.sampleType) {
        case SampleType::Float32: {
            float x;
            std::memcpy(&x, sample, sizeof x);
            value = floatToInt16(x);
            break;
        }
        case SampleType::Int16:
            value = qFromLittleEndian<qint16>(sample);
            break;
        case SampleType::Int32:
            value = static_cast<qint16>(qFromLittleEndian<qint32>(sample) >> 16);
            break;
        }
        qToLittleEndian<qint16>(value, target + i * 2);
    }
    return out;
}

void TencentASRService::updateRecognitionText(const TencentASRResult& result)
{
    m_log.debug(QStringLiteral("📝 更新识别文本 - 段落") + QString::number(result.index) + QStringLiteral(": [")
                + result.voiceTextStr + QLatin1Char(']'));
    m_recognitionSegments.insert(result.index, result.voiceTextStr);
    QString text = m_earlierStreamsText;
    for (const QString& segment : std::as_const(m_recognitionSegments))
        text += segment;
    m_currentText = text;
    m_log.debug(QStringLiteral("📄 当前完整文本: [") + m_currentText + QLatin1Char(']'));
    if (result.sliceType == 2) {
        m_finalText = m_currentText;
        m_log.info(QStringLiteral("✅ 稳态结果 - 最终文本: [") + m_finalText + QLatin1Char(']'));
        postToDelegate([this](TencentASRServiceDelegate& d) { d.tencentASRServiceDidReceiveFinalResult(*this, m_finalText); });
    } else {
        m_log.debug(QStringLiteral("🔄 非稳态结果 - 部分文本: [") + m_currentText + QLatin1Char(']'));
        postToDelegate([this](TencentASRServiceDelegate& d) { d.tencentASRServiceDidReceivePartialResult(*this, m_currentText); });
    }
}

void TencentASRService::resetRecognitionState()
{
    m_log.debug(QStringLiteral("🔄 重置识别状态..."));
    const qsizetype characters = graphemeCount(m_currentText);
    const qsizetype segments = m_recognitionSegments.size();
    m_currentText.clear();
    m_finalText.clear();
    m_recognitionSegments.clear();
    m_earlierStreamsText.clear();
    m_segmentsVoiceId.clear();
    // The byte buffer belongs to the processing queue: it is cleared there,
    // after the work already queued.
    m_audioProcessingQueue.async([this, characters, segments] {
        const qsizetype bytes = m_audioBuffer.size();
        m_audioBuffer.clear();
        m_log.debug(QStringLiteral("✅ 识别状态已重置 - 清除文本: %1字符, 段落: %2个, 缓冲区: %3字节")
                        .arg(characters)
                        .arg(segments)
                        .arg(bytes));
    });
}

void TencentASRService::handleError(const TencentASRError& error)
{
    m_log.error(QStringLiteral("腾讯云实时语音识别错误: ") + error.description());
    postToDelegate([this, error](TencentASRServiceDelegate& d) { d.tencentASRServiceDidEncounterError(*this, error); });
}

void TencentASRService::webSocketClientDidChangeState(TencentASRWebSocketClient&, const TencentASRConnectionState& state)
{
    m_log.debug(QStringLiteral("🔄 连接状态变化: ") + m_connectionState.statusText() + QStringLiteral(" -> ")
                + state.statusText());
    // A report of a client that disconnect() has since dropped is stale.
    m_environment.mainQueue.post([this, life = std::weak_ptr<char>(m_life), state, epoch = m_epoch.load()] {
        if (life.expired() || epoch != m_epoch)
            return;
        m_connectionState = state;
        if (m_delegate)
            m_delegate->tencentASRServiceDidChangeConnectionState(*this, state);
    });
    using Kind = TencentASRConnectionState::Kind;
    switch (state.kind()) {
    case Kind::Ready:
        m_log.info(QStringLiteral("✅ WebSocket连接就绪，可以开始语音识别"));
        break;
    case Kind::Authenticating:
        m_log.debug(QStringLiteral("🔐 正在进行身份认证..."));
        break;
    case Kind::Connected:
        m_log.debug(QStringLiteral("✅ WebSocket连接已建立"));
        break;
    case Kind::Connecting:
        m_log.debug(QStringLiteral("🔗 正在建立WebSocket连接..."));
        break;
    case Kind::Disconnected:
        m_log.debug(QStringLiteral("🔌 WebSocket已断开连接"));
        if (m_isRecognizing) {
            m_log.warning(QStringLiteral("⚠️ 识别过程中连接断开，停止识别"));
            m_isRecognizing = false;
        }
        break;
    case Kind::Error:
        m_log.error(QStringLiteral("❌ WebSocket连接错误: ") + (state.errorValue() ? state.errorValue()->description() : QString()));
        break;
    }
}

void TencentASRService::webSocketClientDidReceiveResult(TencentASRWebSocketClient& client, const TencentASRResult& result)
{
    // A reconnection is a new stream whose segment indices restart at 0:
    // what the earlier stream recognised is kept ahead of it.
    if (client.voiceId() != m_segmentsVoiceId) {
        if (!m_recognitionSegments.isEmpty()) {
            m_earlierStreamsText = m_currentText;
            m_recognitionSegments.clear();
        }
        m_segmentsVoiceId = client.voiceId();
    }
    m_log.info(QStringLiteral("🎯 收到识别结果 - 文本: [") + result.voiceTextStr + QStringLiteral("], 类型: ")
               + sliceTypeName(result.sliceType) + QStringLiteral(", 索引: ") + QString::number(result.index)
               + QStringLiteral(", 开始时间: ") + QString::number(result.startTime) + QStringLiteral(", 结束时间: ")
               + QString::number(result.endTime));
    updateRecognitionText(result);
    postToDelegate([this, result](TencentASRServiceDelegate& d) { d.tencentASRServiceDidReceiveResult(*this, result); });
}

void TencentASRService::webSocketClientDidComplete(TencentASRWebSocketClient&, bool success)
{
    m_log.info(QStringLiteral("🏁 语音识别完成 - 最终结果: ") + (success ? QStringLiteral("是") : QStringLiteral("否")));
    if (m_isRecognizing) {
        m_log.debug(QStringLiteral("⏹️ 停止识别状态"));
        m_isRecognizing = false;
    }
    if (!m_finalText.isEmpty())
        m_log.info(QStringLiteral("📝 最终识别结果: [") + m_finalText + QStringLiteral("] (")
                   + QString::number(graphemeCount(m_finalText)) + QStringLiteral("字符)"));
    else
        m_log.warning(QStringLiteral("⚠️ 识别完成但没有最终结果"));
    postToDelegate([this](TencentASRServiceDelegate& d) { d.tencentASRServiceDidComplete(*this); });
}

void TencentASRService::webSocketClientDidEncounterError(TencentASRWebSocketClient&, const TencentASRError& error)
{
    handleError(error);
}

} // namespace velnor
