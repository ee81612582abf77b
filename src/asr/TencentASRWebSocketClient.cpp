#include "asr/TencentASRWebSocketClient.h"

#include "asr/MainQueue.h"
#include "asr/TencentASRSignature.h"
#include "core/Graphemes.h"
#include "log/TencentASRLogger.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include <cmath>

namespace velnor {

namespace {

constexpr int normalClosure = 1000;

// The recogniser ends a stream with this text message; to it a zero-length
// binary frame is only an empty audio packet.
const QString endOfStreamMessage = QStringLiteral(R"({"type":"end"})");

QString yesNo(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

TencentASRWebSocketClient::TencentASRWebSocketClient(TencentASRConfig config, const TencentASREnvironment& environment)
    : m_config(std::move(config))
    , m_scheduler(environment.scheduler)
    , m_mainQueue(environment.mainQueue)
    , m_log(environment.log)
    , m_signature(environment.signature)
    , m_socketFactory(environment.socketFactory)
    , m_voiceId(m_signature.generateVoiceId())
{
}

TencentASRWebSocketClient::~TencentASRWebSocketClient()
{
    disconnect();
}

void TencentASRWebSocketClient::postToDelegate(std::function<void(TencentASRWebSocketClientDelegate&)> call)
{
    m_mainQueue.post([this, life = std::weak_ptr<char>(m_life), call = std::move(call)] {
        if (!life.expired() && m_delegate)
            call(*m_delegate);
    });
}

void TencentASRWebSocketClient::notifyStateChange()
{
    // The state passed is the one current when the report runs.
    m_mainQueue.post([this, life = std::weak_ptr<char>(m_life)] {
        if (!life.expired() && m_delegate)
            m_delegate->webSocketClientDidChangeState(*this, m_state);
    });
}

void TencentASRWebSocketClient::connect()
{
    using Kind = TencentASRConnectionState::Kind;
    if (m_state.is(Kind::Connecting) || m_state.is(Kind::Connected) || m_state.is(Kind::Authenticating)
        || m_state.is(Kind::Ready)) {
        m_log.warning(QStringLiteral("WebSocket已连接或正在连接中"));
        return;
    }
    if (m_config.appId.isEmpty() || m_config.secretId.isEmpty() || m_config.secretKey.isEmpty()) {
        handleError(TencentASRError::configurationError(QStringLiteral("AppID、SecretId或SecretKey为空")));
        return;
    }
    setState(TencentASRConnectionState::connecting());
    notifyStateChange();

    if (m_retryCount >= 1) {
        const QString newId = m_signature.generateVoiceId();
        m_log.info(QStringLiteral("🔄 重连时生成新的VoiceId: ") + newId + QStringLiteral(" (原VoiceId: ") + m_voiceId
                   + QLatin1Char(')'));
        m_voiceId = newId;
    }

    const std::optional<QUrl> url = m_signature.buildWebSocketURL(m_config, m_voiceId);
    if (!url) {
        m_log.error(QStringLiteral("❌ 无法构建WebSocket URL"));
        handleError(TencentASRError::configurationError(QStringLiteral("无法构建WebSocket URL")));
        return;
    }
    m_log.info(QStringLiteral("🚀 开始连接腾讯云实时语音识别服务"));
    m_log.debug(QStringLiteral("🔗 连接URL: ") + url->toString(QUrl::FullyEncoded));
    m_log.debug(QStringLiteral("🔗 VoiceId: ") + m_voiceId);

    dropSocket();
    m_socket = m_socketFactory();
    const quint64 generation = ++m_socketGeneration;
    // Events of a replaced or closed socket are ignored.
    auto current = [this, generation] { return generation == m_socketGeneration && m_socket; };
    TencentASRSocket::Events events;
    events.opened = [this, current] {
        if (current())
            handleOpened();
    };
    events.closed = [this, current](int code) {
        if (current())
            handleClosed(code);
    };
    events.textReceived = [this, current](const QString& text) {
        if (current())
            handleReceivedText(text);
    };
    events.binaryReceived = [this, current](const QByteArray& data) {
        if (current())
            handleReceivedBinary(data);
    };
    events.failed = [this, current](const QString& description) {
        if (current())
            handleFailed(description);
    };
    m_socket->open(*url, std::move(events));

    // Each attempt has its own timer: an older attempt's timer must not cut
    // short a reconnection that is still connecting.
    m_connectionTimer.cancel();
    m_connectionTimer = m_scheduler.after(seconds(m_config.connectionTimeout),
                                          [this, life = std::weak_ptr<char>(m_life)] {
                                              if (!life.expired())
                                                  checkConnectionTimeout();
                                          });
}

void TencentASRWebSocketClient::checkConnectionTimeout()
{
    // The handshake is part of connecting: a server that accepts the upgrade
    // but never answers must not leave the client "connected" for ever.
    using Kind = TencentASRConnectionState::Kind;
    if (!m_state.is(Kind::Connecting) && !m_state.is(Kind::Connected) && !m_state.is(Kind::Authenticating))
        return;
    m_log.error(QStringLiteral("⏰ 连接超时(") + QString::number(m_config.connectionTimeout, 'f', 1)
                + QStringLiteral("秒)，当前状态: ") + m_state.statusText());
    dropSocket();
    handleError(TencentASRError::timeoutError());
}

void TencentASRWebSocketClient::dropSocket()
{
    if (!m_socket)
        return;
    ++m_socketGeneration;
    m_socket->close(normalClosure);
    m_socket.reset();
}

void TencentASRWebSocketClient::disconnect()
{
    m_reconnectTimer.cancel();
    m_reconnectTimer = {};
    m_connectionTimer.cancel();
    m_connectionTimer = {};
    dropSocket();
    m_isAudioStreamActive = false;
    setState(TencentASRConnectionState::disconnected());
    notifyStateChange();
    m_retryCount = 0;
    m_log.debug(QStringLiteral("已断开腾讯云实时语音识别服务连接"));
}

void TencentASRWebSocketClient::handleOpened()
{
    m_log.info(QStringLiteral("🔗 WebSocket连接已建立，协议: 无"));
    m_log.debug(QStringLiteral("🔗 连接URL: ") + m_config.baseURL + QLatin1Char('/') + m_config.appId);
    setState(TencentASRConnectionState::connected());
    notifyStateChange();
    m_log.debug(QStringLiteral("📡 开始接收WebSocket消息..."));
}

void TencentASRWebSocketClient::handleClosed(int closeCode)
{
    if (!m_state.is(TencentASRConnectionState::Kind::Disconnected)) {
        setState(TencentASRConnectionState::disconnected());
        notifyStateChange();
    }
    if (m_isAudioStreamActive) {
        m_log.warning(QStringLiteral("⚠️ 音频流在连接关闭时仍处于激活状态，强制停止"));
        m_isAudioStreamActive = false;
    }
    if (closeCode != normalClosure) {
        m_log.warning(QStringLiteral("⚠️ 非正常关闭，准备重连..."));
        attemptReconnection();
    } else {
        m_log.debug(QStringLiteral("✅ 正常关闭连接"));
    }
}

void TencentASRWebSocketClient::handleFailed(const QString& description)
{
    m_log.error(QStringLiteral("❌ URLSession任务完成时发生错误: ") + description);
    m_log.error(QStringLiteral("❌ 错误详情: ") + description);
    // A failure after the owner closed the connection is not a reason to
    // reconnect: the receive path stands down exactly like the task path.
    if (m_state.is(TencentASRConnectionState::Kind::Disconnected)) {
        m_log.debug(QStringLiteral("ℹ️ 连接已断开，忽略URLSession完成错误: ") + description);
        return;
    }
    handleError(TencentASRError::networkError(description));
}

void TencentASRWebSocketClient::handleReceivedText(const QString& text)
{
    m_log.debug(QStringLiteral("📥 收到文本消息，长度: ") + QString::number(graphemeCount(text)));
    parseTextMessage(text);
}

void TencentASRWebSocketClient::handleReceivedBinary(const QByteArray& data)
{
    m_log.debug(QStringLiteral("📥 收到二进制消息，大小: ") + QString::number(data.size()) + QStringLiteral(" bytes"));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder(data);
    if (decoder.hasError()) {
        m_log.error(QStringLiteral("❌ 无法解析二进制消息为UTF-8文本"));
        return;
    }
    parseTextMessage(text);
}

void TencentASRWebSocketClient::parseTextMessage(const QString& text)
{
    m_log.debug(QStringLiteral("📨 收到WebSocket消息: ") + firstGraphemes(text, 200));
    m_log.debug(QStringLiteral("🔍 开始解析消息，完整内容: ") + text);
    const QByteArray bytes = text.toUtf8();

    QString decodeError;
    if (const auto response = TencentASRResponse::decode(bytes, &decodeError)) {
        m_log.debug(QStringLiteral("✅ JSON解析成功 - 状态码: ") + QString::number(response->code)
                    + QStringLiteral(", 是否有结果: ") + yesNo(response->result.has_value()));
        handleASRResponse(*response);
        return;
    }
    m_log.error(QStringLiteral("❌ JSON解析失败 - 错误: ") + decodeError);
    m_log.error(QStringLiteral("📄 原始消息: ") + text);

    QJsonParseError jsonError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &jsonError);
    if (jsonError.error == QJsonParseError::NoError && document.isObject()) {
        const QJsonObject object = document.object();
        m_log.debug(QStringLiteral("🔧 尝试解析为通用JSON对象: ")
                    + QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        const QJsonValue code = object.value(QStringLiteral("code"));
        const QJsonValue message = object.value(QStringLiteral("message"));
        if (code.isDouble() && std::trunc(code.toDouble()) == code.toDouble() && message.isString()) {
            m_log.error(QStringLiteral("🔧 解析到错误响应 - 代码: ") + QString::number(code.toInteger())
                        + QStringLiteral(", 消息: ") + message.toString());
            handleError(TencentASRError::serverError(code.toInteger(), message.toString()));
        } else {
            m_log.error(QStringLiteral("🔧 JSON格式不符合预期"));
            handleError(TencentASRError::parseError(QStringLiteral("JSON格式不符合预期")));
        }
        return;
    }
    m_log.error(QStringLiteral("🔧 完全无法解析的响应"));
    handleError(TencentASRError::parseError(QStringLiteral("JSON解析失败: ") + decodeError));
}

void TencentASRWebSocketClient::handleASRResponse(const TencentASRResponse& response)
{
    const bool isFinal = response.final.value_or(0) == 1;
    m_log.debug(QStringLiteral("🔍 处理ASR响应 - 成功: ") + yesNo(response.code == 0) + QStringLiteral(", 最终: ")
                + yesNo(isFinal) + QStringLiteral(", 状态码: ") + QString::number(response.code));

    if (response.code != 0) {
        const QString text = response.message.value_or(QStringLiteral("未知服务器错误"));
        if (response.code != 4008 && response.code != 4009) {
            m_log.error(QStringLiteral("❌ 致命错误导致识别失败 (") + QString::number(response.code) + QStringLiteral("): ")
                        + text);
            handleError(TencentASRError::serverError(response.code, text));
            return;
        }
        m_log.warning(QStringLiteral("⚠️ 非致命错误 (") + QString::number(response.code) + QStringLiteral("): ") + text
                      + QStringLiteral(" - 继续处理"));
        const TencentASRError error = TencentASRError::serverError(response.code, text);
        postToDelegate([this, error](TencentASRWebSocketClientDelegate& d) { d.webSocketClientDidEncounterError(*this, error); });
        return;
    }

    if (m_state.is(TencentASRConnectionState::Kind::Connected)) {
        setState(TencentASRConnectionState::ready());
        notifyStateChange();
        m_log.info(QStringLiteral("✅ WebSocket握手成功，连接已就绪"));
    }
    if (response.result) {
        const TencentASRResult& result = *response.result;
        if (!result.voiceTextStr.isEmpty()) {
            m_log.info(QStringLiteral("🎯 识别成功 - 文本: [") + result.voiceTextStr + QStringLiteral("] (")
                       + QString::number(graphemeCount(result.voiceTextStr)) + QStringLiteral("字符), 类型: ")
                       + QString::number(result.sliceType) + QStringLiteral(", 索引: ") + QString::number(result.index));
            m_log.debug(QStringLiteral("📊 识别详情 - 开始时间: ") + QString::number(result.startTime)
                        + QStringLiteral("ms, 结束时间: ") + QString::number(result.endTime)
                        + QStringLiteral("ms, 语音ID: ") + response.voiceId.value_or(QStringLiteral("无")));
        } else {
            m_log.debug(QStringLiteral("⚠️ 识别结果为空 - 类型: ") + QString::number(result.sliceType)
                        + QStringLiteral(", 索引: ") + QString::number(result.index));
        }
        postToDelegate([this, result](TencentASRWebSocketClientDelegate& d) { d.webSocketClientDidReceiveResult(*this, result); });
    } else {
        m_log.debug(QStringLiteral("⚠️ 成功响应但无识别结果数据"));
    }
    if (isFinal) {
        const QString text = response.result ? response.result->voiceTextStr : QString();
        if (!text.isEmpty())
            m_log.info(QStringLiteral("🏁 收到最终识别结果: [") + text + QStringLiteral("] (") + QString::number(graphemeCount(text))
                       + QStringLiteral("字符)"));
        else
            m_log.warning(QStringLiteral("🏁 收到最终识别结果但内容为空"));
        postToDelegate([this](TencentASRWebSocketClientDelegate& d) { d.webSocketClientDidComplete(*this, true); });
    }
}

void TencentASRWebSocketClient::handleError(const TencentASRError& error)
{
    m_log.error(QStringLiteral("腾讯云实时语音识别错误: ") + error.description());
    setState(TencentASRConnectionState::error(error));
    notifyStateChange();
    postToDelegate([this, error](TencentASRWebSocketClientDelegate& d) { d.webSocketClientDidEncounterError(*this, error); });
    attemptReconnection();
}

void TencentASRWebSocketClient::attemptReconnection()
{
    if (m_retryCount >= m_config.maxRetryCount) {
        m_log.error(QStringLiteral("达到最大重试次数，停止重连"));
        return;
    }
    // One failure often arrives twice (the error message, then the close):
    // a reconnection already pending covers both.
    if (m_reconnectTimer.isValid() && !m_reconnectTimer.isFinished())
        return;
    ++m_retryCount;
    const double delay = static_cast<double>(m_retryCount) * 2.0;
    m_log.debug(QStringLiteral("将在") + QString::number(delay, 'f', 1) + QStringLiteral("秒后进行第")
                + QString::number(m_retryCount) + QStringLiteral("次重连"));
    m_reconnectTimer = m_scheduler.after(seconds(delay), [this, life = std::weak_ptr<char>(m_life)] {
        if (!life.expired())
            connect();
    });
}

void TencentASRWebSocketClient::startAudioStream()
{
    if (!m_state.is(TencentASRConnectionState::Kind::Ready)) {
        m_log.warning(QStringLiteral("🚫 连接未就绪(") + m_state.statusText() + QStringLiteral(")，无法开始音频流"));
        return;
    }
    if (m_isAudioStreamActive) {
        m_log.warning(QStringLiteral("⚠️ 音频流已经处于激活状态"));
        return;
    }
    m_isAudioStreamActive = true;
    m_log.debug(QStringLiteral("🎵 音频流已激活，准备接收音频数据"));
}

void TencentASRWebSocketClient::sendAudioData(const QByteArray& data)
{
    if (!m_state.is(TencentASRConnectionState::Kind::Ready)) {
        m_log.warning(QStringLiteral("🚫 连接未就绪(") + m_state.statusText()
                      + QStringLiteral(")，跳过音频数据发送，数据大小: ") + QString::number(data.size())
                      + QStringLiteral(" bytes"));
        return;
    }
    if (data.isEmpty()) {
        m_log.warning(QStringLiteral("⚠️ 尝试发送空音频数据"));
        return;
    }
    queueSend(data, false);
}

void TencentASRWebSocketClient::stopAudioStream()
{
    if (!m_isAudioStreamActive) {
        m_log.warning(QStringLiteral("⚠️ 音频流未激活，无需停止"));
        return;
    }
    m_log.debug(QStringLiteral("🛑 开始停止音频流..."));
    m_isAudioStreamActive = false;
    m_log.debug(QStringLiteral("✅ 音频流已停止"));
    if (m_state.is(TencentASRConnectionState::Kind::Ready) && m_socket) {
        // The marker takes the audio's own path, so it leaves after every
        // packet already accepted.
        queueSend(QByteArray(), true);
    } else {
        m_log.warning(QStringLiteral("⚠️ 连接状态不是ready(") + m_state.statusText()
                      + QStringLiteral(")或WebSocket任务为空，跳过发送结束标志"));
    }
}

void TencentASRWebSocketClient::queueSend(const QByteArray& data, bool endMarker)
{
    const QString stateText = m_state.statusText();
    const quint64 generation = m_socketGeneration;
    m_audioQueue.async([this, data, endMarker, stateText, generation] {
        const QString size = QString::number(data.size());
        if (endMarker)
            m_log.debug(QStringLiteral("📤 发送音频流结束标志，连接状态: ") + stateText);
        else
            m_log.debug(QStringLiteral("📤 准备发送音频数据，大小: ") + size + QStringLiteral(" bytes，连接状态: ")
                        + stateText);
        // The socket belongs to the main thread; the send happens there, in queue order.
        m_mainQueue.post([this, life = std::weak_ptr<char>(m_life), data, endMarker, size, generation] {
            if (life.expired() || generation != m_socketGeneration || !m_socket)
                return;
            // The connection ended while the packet was queued: its close or
            // error is reported by its own event, not by this packet.
            if (!m_state.is(TencentASRConnectionState::Kind::Ready)) {
                m_log.warning(QStringLiteral("🚫 连接未就绪(") + m_state.statusText() + QStringLiteral(")，丢弃待发送数据，数据大小: ")
                              + size + QStringLiteral(" bytes"));
                return;
            }
            const auto failure = endMarker ? m_socket->sendText(endOfStreamMessage) : m_socket->sendBinary(data);
            if (!failure) {
                m_log.debug(endMarker ? QStringLiteral("✅ 结束标志发送成功，等待最终识别结果")
                                      : QStringLiteral("✅ 音频数据发送成功: ") + size + QStringLiteral(" bytes"));
                return;
            }
            m_log.error((endMarker ? QStringLiteral("❌ 发送结束标志失败: ") : QStringLiteral("❌ 音频数据发送失败: "))
                        + failure->description + QStringLiteral("，数据大小: ") + size + QStringLiteral(" bytes"));
            if (!failure->connectionGone && !endMarker)
                handleError(TencentASRError::networkError(failure->description));
        });
    });
}

} // namespace velnor
