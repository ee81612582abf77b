#include "audio/AudioRecorder.h"

#include "audio/AudioFileSettings.h"
#include "audio/AudioInputManager.h"
#include "audio/AudioLevels.h"
#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "core/SerialQueue.h"
#include "log/Logger.h"
#include "platform/AudioDevices.h"
#include "platform/MicrophonePermission.h"

#include <QDebug>

#include <atomic>
#include <mutex>

namespace velnor {

namespace {

// The platform's authorisation numbers, as the log lines print them.
int statusNumber(MicrophonePermission::Status status)
{
    switch (status) {
    case MicrophonePermission::Status::NotDetermined:
        return 0;
    case MicrophonePermission::Status::Restricted:
        return 1;
    case MicrophonePermission::Status::Denied:
        return 2;
    case MicrophonePermission::Status::Authorized:
        return 3;
    }
    return 0;
}


QString describeSettings(const QVariantMap& settings)
{
    QString text;
    QDebug(&text).nospace().noquote() << settings;
    return text;
}

} // namespace

struct AudioRecorder::CallbackSlot {
    std::mutex mutex;
    SamplesCallback callback;

    void call(const QVector<float>& levels)
    {
        SamplesCallback copy;
        {
            const std::lock_guard lock(mutex);
            copy = callback;
        }
        if (copy)
            copy(levels);
    }
};

// One recording: the capture, the file and the encoder queue between them.
class AudioRecorder::Session final {
public:
    Session(std::unique_ptr<AudioCapture> capture, Logger& log, ConsoleSink print, std::shared_ptr<CallbackSlot> onSamples)
        : m_capture(std::move(capture))
        , m_log(log)
        , m_print(std::move(print))
        , m_onSamples(std::move(onSamples))
    {
    }

    ~Session() { stop(); }

    AudioCapture& capture() { return *m_capture; }

    void setWriter(std::unique_ptr<AacFileWriter> writer) { m_writer = std::move(writer); }

    std::optional<QString> start()
    {
        auto error = m_capture->start(FramesPerBuffer, [this](const AudioBuffer& buffer) { onBuffer(buffer); });
        m_running = !error;
        return error;
    }

    bool isRunning() const { return m_running; }

    // No buffer is lost: capture stops first, then every queued buffer is
    // encoded, then the file is finalised.
    void stop()
    {
        if (m_stopped)
            return;
        m_stopped = true;
        m_capture->stop();
        m_running = false;
        m_queue.waitUntilIdle();
        if (m_writer) {
            if (const auto error = m_writer->finish())
                m_log.error(QStringLiteral("[AudioRecorder] 录音文件写入收尾失败: ") + *error);
            m_writer.reset();
        }
    }

private:
    // Capture thread: hand the buffer to the encoder queue.
    void onBuffer(const AudioBuffer& buffer)
    {
        const qint64 bytes = buffer.data.size();
        if (m_pendingBytes.fetch_add(bytes) + bytes > MaxPendingBytes)
            m_queue.waitUntilIdle();
        m_queue.async([this, buffer] {
            encode(buffer);
            m_pendingBytes.fetch_sub(buffer.data.size());
        });
    }

    // Encoder queue: append to the file, then report the buffer's levels.
    void encode(const AudioBuffer& buffer)
    {
        if (!m_writer)
            return;
        if (const auto error = m_writer->write(buffer)) {
            m_log.error(QStringLiteral("[AudioRecorder] 写入音频数据失败: ") + *error);
            if (m_print)
                m_print(QStringLiteral("写入错误: ") + *error);
            return;
        }
        const float peak = AudioLevels::peak(buffer);
        if (peak > 0.01f)
            m_log.info(QStringLiteral("[AudioRecorder] 音频数据写入成功，峰值: ") + QString::asprintf("%.3f", double(peak)));
        const QVector<float> levels = AudioLevels::reduce(buffer);
        if (!levels.isEmpty())
            m_onSamples->call(levels);
    }

    std::unique_ptr<AudioCapture> m_capture;
    std::unique_ptr<AacFileWriter> m_writer;
    Logger& m_log;
    const ConsoleSink m_print;
    std::shared_ptr<CallbackSlot> m_onSamples;
    std::atomic<qint64> m_pendingBytes{0};
    bool m_running = false;
    bool m_stopped = false;
    // Last: destroyed first, after draining, while the members above live.
    SerialQueue m_queue{QStringLiteral("com.velnor.audiorecorder.encoder")};
};

AudioRecorder::AudioRecorder(Dependencies dependencies)
    : m_deps(std::move(dependencies))
    , m_onSamples(std::make_shared<CallbackSlot>())
{
    checkMicrophonePermission();
}

AudioRecorder::~AudioRecorder() = default;

void AudioRecorder::printLine(const QString& line) const
{
    if (m_deps.print)
        m_deps.print(line);
}

void AudioRecorder::checkMicrophonePermission()
{
    const QString key = QString::fromLatin1(SettingsKey::MicrophonePermission);
    if (m_deps.settings.boolean(key))
        return;
    const QString notGranted = QStringLiteral("麦克风权限未授予，录音可能无法正常工作");
    switch (m_deps.permission.status()) {
    case MicrophonePermission::Status::NotDetermined:
        m_deps.permission.request([this, notGranted](bool granted) {
            if (!granted)
                printLine(notGranted);
        });
        break;
    case MicrophonePermission::Status::Authorized:
        m_deps.settings.setBool(key, true);
        break;
    default:
        printLine(notGranted);
        break;
    }
}

void AudioRecorder::setOnAudioSamplesReceived(SamplesCallback callback)
{
    const std::lock_guard lock(m_onSamples->mutex);
    m_onSamples->callback = std::move(callback);
}

bool AudioRecorder::hasAudioEngine() const
{
    return m_session != nullptr;
}

bool AudioRecorder::isRecording() const
{
    return m_session && m_session->isRunning();
}

QVariantMap AudioRecorder::getAdaptedAudioSettings(const AudioFormat& input, const QVariantMap& userSettings)
{
    return AudioFileSettings::adapted(input, userSettings, m_deps.log);
}

bool AudioRecorder::fail(const QString& error)
{
    m_deps.log.error(QStringLiteral("[AudioRecorder] 录音启动失败: ") + error);
    printLine(QStringLiteral("录音启动失败: ") + error);
    return false;
}

bool AudioRecorder::startRecording(const QString& outputFilePath, const QVariantMap& settings)
{
    Logger& log = m_deps.log;
    log.info(QStringLiteral("[AudioRecorder] 开始录音流程"));

    // The rule of both recording modes: refused only when the system said
    // no; when nothing is known for sure the capture is tried.
    const auto status = m_deps.permission.status();
    if (!mayRecord(status)) {
        log.error(QStringLiteral("[AudioRecorder] 麦克风权限未授予，状态: %1").arg(statusNumber(status)));
        printLine(QStringLiteral("麦克风权限未授予，无法录音"));
        return false;
    }
    if (status != MicrophonePermission::Status::Authorized)
        log.warning(QStringLiteral("[AudioRecorder] 麦克风状态未知，仍尝试录音: ") + m_deps.permission.reason());

    // A new start replaces (and finalises) a recording still running.
    m_session.reset();
    std::unique_ptr<AudioCapture> capture = m_deps.captureFactory ? m_deps.captureFactory() : nullptr;
    if (!capture || !capture->isAvailable()) {
        log.error(QStringLiteral("[AudioRecorder] 无法创建音频引擎"));
        printLine(QStringLiteral("无法创建音频引擎"));
        return false;
    }
    m_session = std::make_unique<Session>(std::move(capture), log, m_deps.print, m_onSamples);
    log.info(QStringLiteral("[AudioRecorder] 音频引擎创建成功"));
    if (!applySelectedAudioInputDeviceAfterEngineCreation())
        log.warning(QStringLiteral("[AudioRecorder] 音频输入设备设置失败，使用默认设备"));

    const auto format = m_session->capture().inputFormat();
    if (!format || !format->isValid())
        return fail(QStringLiteral("没有可用的音频输入设备"));
    log.info(QStringLiteral("[AudioRecorder] 输入节点音频格式 - 采样率: %1, 通道数: %2, 格式: %3")
                 .arg(double(format->sampleRate))
                 .arg(format->channelCount)
                 .arg(commonFormatNumber(format->sampleType)));
    printLine(QStringLiteral("音频格式: %1, 采样率: %2, 通道数: %3")
                  .arg(describe(*format))
                  .arg(double(format->sampleRate))
                  .arg(format->channelCount));

    const QVariantMap fileSettings = getAdaptedAudioSettings(*format, settings);
    log.info(QStringLiteral("[AudioRecorder] 使用适配后的音频设置: ") + describeSettings(fileSettings));
    printLine(QStringLiteral("准备写入文件: ") + outputFilePath);

    std::unique_ptr<AacFileWriter> writer = m_deps.writerFactory ? m_deps.writerFactory() : nullptr;
    if (!writer || !writer->isAvailable())
        return fail(QStringLiteral("没有可用的AAC编码器"));
    if (const auto error = writer->open(outputFilePath, *format, AudioFileSettings::bitRateFor(fileSettings)))
        return fail(*error);
    log.info(QStringLiteral("[AudioRecorder] 音频文件创建成功: ") + outputFilePath);
    m_session->setWriter(std::move(writer));

    if (const auto error = m_session->start())
        return fail(*error);
    log.info(QStringLiteral("[AudioRecorder] 音频引擎启动成功"));
    printLine(QStringLiteral("音频引擎已启动，录音开始"));
    return true;
}

void AudioRecorder::stopRecording()
{
    if (m_session)
        m_session->stop();
    m_session.reset();
}

bool AudioRecorder::applySelectedAudioInputDeviceAfterEngineCreation()
{
    const auto selected = m_deps.inputManager ? m_deps.inputManager->selectedDevice() : std::nullopt;
    if (!selected) {
        m_deps.log.info(QStringLiteral("[AudioRecorder] 没有选定的音频输入设备，使用系统默认设备"));
        return true;
    }
    return setAudioInputDeviceAfterEngineCreation(*selected);
}

bool AudioRecorder::setAudioInputDeviceAfterEngineCreation(const AudioInputDevice& device)
{
    if (!m_session)
        return false;
    if (device.id.trimmed().isEmpty()) {
        m_deps.log.error(QStringLiteral("[AudioRecorder] 无效的设备ID: ") + device.id);
        return false;
    }
    // Nothing is captured yet at this point, so the capture opens the new
    // default when it starts.
    if (const auto error = m_deps.devices.setDefaultSource(device.id)) {
        m_deps.log.error(QStringLiteral("[AudioRecorder] 设置音频输入设备失败: ") + *error);
        return false;
    }
    m_deps.log.info(QStringLiteral("[AudioRecorder] 成功设置音频输入设备: ") + device.name);
    return true;
}

} // namespace velnor
