#include "AudioTestSupport.h"

#include "audio/AudioInputManager.h"
#include "audio/AudioRecorder.h"
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "platform/fake/FakeAudioDevices.h"
#include "platform/fake/FakeMicrophonePermission.h"

#include <gmock/gmock.h>

namespace velnor {
namespace {

// What the doubles below do and what they saw, shared with the test after they are gone.
struct Script {
    std::optional<AudioFormat> format = AudioFormat{48000, 1, SampleType::Float32, true};
    std::optional<QString> startError;
    std::optional<QString> openError;
    std::function<void(AudioCapture::BufferCallback)> onStart;
    int failingWrite = 0;

    std::mutex mutex;
    QStringList events;
    QString openedPath;
    AudioFormat openedFormat;
    int bitRate = 0;
    QList<float> firstSamples; // first sample of every written buffer, in order
    int framesPerBuffer = 0;
    int writes = 0;

    void add(const QString& event)
    {
        const std::lock_guard lock(mutex);
        events.append(event);
    }
};

// The capture and the file writer, as the script says.
class ScriptedAudio final : public AudioCapture, public AacFileWriter {
public:
    explicit ScriptedAudio(Script& script)
        : m(script)
    {
    }
    bool isAvailable() const override { return true; }
    std::optional<AudioFormat> inputFormat() const override
    {
        m.add(QStringLiteral("format"));
        return m.format;
    }
    std::optional<QString> start(int framesPerBuffer, BufferCallback onBuffer) override
    {
        m.add(QStringLiteral("start"));
        m.framesPerBuffer = framesPerBuffer;
        if (!m.startError && m.onStart)
            m.onStart(std::move(onBuffer));
        return m.startError;
    }
    void stop() override { m.add(QStringLiteral("stop")); }
    std::optional<QString> open(const QString& path, const AudioFormat& format, int bitRate) override
    {
        m.add(QStringLiteral("open"));
        m.openedPath = path;
        m.openedFormat = format;
        m.bitRate = bitRate;
        return m.openError;
    }
    std::optional<QString> write(const AudioBuffer& buffer) override
    {
        if (++m.writes == m.failingWrite)
            return QStringLiteral("disk full");
        float first = 0.0f;
        std::memcpy(&first, buffer.data.constData(), sizeof(float));
        const std::lock_guard lock(m.mutex);
        m.firstSamples.append(first);
        return std::nullopt;
    }
    std::optional<QString> finish() override
    {
        m.add(QStringLiteral("finish"));
        return std::nullopt;
    }

private:
    Script& m;
};

class AudioRecorderTest : public ::testing::Test {
protected:
    AudioRecorderTest()
    {
        devices.sourceList = {test::source("usb_mic", "USB Mic"), test::source("other_mic", "USB Mic")};
        devices.defaultSource = QStringLiteral("other_mic");
    }

    std::unique_ptr<AudioRecorder> makeRecorder(AudioInputManager* manager = nullptr)
    {
        AudioCaptureFactory captureFactory = [this]() -> std::unique_ptr<AudioCapture> {
            return noCapture ? nullptr : std::make_unique<ScriptedAudio>(script);
        };
        AacFileWriterFactory writerFactory = [this] { return std::make_unique<ScriptedAudio>(script); };
        return std::make_unique<AudioRecorder>(AudioRecorder::Dependencies{
            captureFactory, writerFactory, permission, devices, manager, settings, log.logger(), log.printSink()});
    }

    // Pushes buffers whose first sample is their sequence number / 1000.
    static std::function<void(AudioCapture::BufferCallback)> pushing(int count, int channels = 1, float amplitude = 0.5f)
    {
        return [=](AudioCapture::BufferCallback onBuffer) {
            for (int i = 0; i < count; ++i) {
                std::vector<float> samples(size_t(1024 * channels), amplitude);
                samples[0] = float(i) / 1000.0f;
                onBuffer(test::floatBuffer(samples, channels));
            }
        };
    }

    Script script;
    FakeAudioDevices devices;
    MemorySettingsStore settings;
    FakeMicrophonePermission permission{MicrophonePermission::Status::Authorized, false};
    test::LogCapture log;
    bool noCapture = false;
};

// Stereo buffers, the third one failing to write; quiet ones are not logged.
TEST_F(AudioRecorderTest, RecordsEveryBufferInOrderAndAFailedWriteLosesOnlyThatBuffer)
{
    script.format = AudioFormat{48000, 2, SampleType::Float32, true};
    script.onStart = [](AudioCapture::BufferCallback onBuffer) {
        pushing(5, 2, 0.004f)(onBuffer);
        pushing(1, 2, 0.5f)(onBuffer);
    };
    script.failingWrite = 3;
    auto recorder = makeRecorder();
    std::atomic<int> levelCalls{0};
    recorder->setOnAudioSamplesReceived([&](const QVector<float>&) { ++levelCalls; });
    ASSERT_TRUE(recorder->startRecording(QStringLiteral("/docs/2.0.m4a")));
    EXPECT_TRUE(recorder->isRecording());
    // A new start finalises the running recording, and a destroyed recorder its own.
    script.onStart = nullptr;
    ASSERT_TRUE(recorder->startRecording(QStringLiteral("/docs/3.0.m4a")));
    EXPECT_EQ(script.events, (QStringList{"format", "open", "start", "stop", "finish", "format", "open", "start"}));
    recorder.reset();
    EXPECT_EQ(script.events.last(), QStringLiteral("finish"));

    EXPECT_EQ(script.openedFormat, *script.format);
    EXPECT_EQ(script.bitRate, 192000) << "per channel";
    EXPECT_EQ(script.framesPerBuffer, 1024);
    EXPECT_EQ(script.firstSamples, (QList<float>{0.0f, 0.001f, 0.003f, 0.004f, 0.0f}));
    EXPECT_EQ(levelCalls.load(), 5);
    EXPECT_THAT(log.text().toStdString(),
                testing::ContainsRegex("开始录音流程.*音频引擎创建成功.*没有选定的音频输入设备，使用系统默认设备.*"
                                       "输入节点音频格式 - 采样率: 48000, 通道数: 2, 格式: 1.*使用适配后的音频设置: .*"
                                       "音频文件创建成功: /docs/2.0.m4a.*音频引擎启动成功"));
    EXPECT_EQ(log.count("[AudioRecorder] 写入音频数据失败: disk full"), 1);
    EXPECT_TRUE(log.printed().contains(QStringLiteral("写入错误: disk full")));
    EXPECT_EQ(log.count("峰值"), 1);
    EXPECT_EQ(log.count("[AudioRecorder] 音频数据写入成功，峰值: 0.500"), 1);
}

// Each failure is logged, and what comes after it never runs.
TEST_F(AudioRecorderTest, StartFailuresReturnFalseWithTheirLines)
{
    struct Case {
        std::function<void()> arrange;
        const char* line;
        const char* neverRuns;
    };
    std::unique_ptr<AudioRecorder> recorder;
    for (const Case& c : {
             Case{[&] { noCapture = true; }, "[AudioRecorder] 无法创建音频引擎", "format"},
             Case{[&] { script.format.reset(); }, "[AudioRecorder] 录音启动失败: 没有可用的音频输入设备", "open"},
             Case{[&] { script.openError = QStringLiteral("Permission denied"); }, "[AudioRecorder] 录音启动失败: Permission denied",
                  "start"},
             Case{[&] { script.startError = QStringLiteral("Connection refused"); }, "[AudioRecorder] 录音启动失败: Connection refused",
                  "stop"},
         }) {
        SCOPED_TRACE(c.line);
        c.arrange();
        recorder = makeRecorder(); // the last one is finalised here
        script.events.clear();
        EXPECT_FALSE(recorder->startRecording(QStringLiteral("/docs/a.m4a")));
        EXPECT_FALSE(recorder->isRecording());
        EXPECT_EQ(log.count(c.line), 1);
        EXPECT_FALSE(script.events.contains(QString::fromLatin1(c.neverRuns)));
        noCapture = false;
        script.format = AudioFormat{48000, 1, SampleType::Float32, true};
        script.openError.reset();
    }
    // The last one, a capture that failed to start, keeps its engine until the
    // next stop, which still closes the file.
    EXPECT_TRUE(recorder->hasAudioEngine());
    recorder->stopRecording();
    EXPECT_FALSE(recorder->hasAudioEngine());
    EXPECT_EQ(script.events.last(), QStringLiteral("finish"));
    recorder->stopRecording();
    EXPECT_EQ(log.linesWith(QStringLiteral("[ERROR]")).filter(QStringLiteral("[AudioRecorder] 无法创建音频引擎")).size(), 1);
    EXPECT_TRUE(log.printed().contains(QStringLiteral("无法创建音频引擎")));
    EXPECT_TRUE(log.printed().contains(QStringLiteral("录音启动失败: Permission denied")));
}

TEST_F(AudioRecorderTest, SelectedDeviceBecomesTheDefaultBeforeCaptureOpens)
{
    settings.setString(QString::fromLatin1(SettingsKey::AudioSelectedInputDeviceId), QStringLiteral("usb_mic"));
    AudioInputManager manager(devices, settings, log.logger(), log.printSink());
    auto recorder = makeRecorder(&manager);
    ASSERT_TRUE(recorder->startRecording(QStringLiteral("/docs/e.m4a")));
    recorder->stopRecording();
    EXPECT_EQ(devices.defaultChanges, QStringList{QStringLiteral("usb_mic")});
    EXPECT_EQ(log.count("[AudioRecorder] 成功设置音频输入设备: USB Mic"), 1);

    // Setting a device fails without an engine, and for an empty id.
    EXPECT_FALSE(recorder->setAudioInputDeviceAfterEngineCreation(*manager.selectedDevice()));
    ASSERT_TRUE(recorder->startRecording(QStringLiteral("/docs/f.m4a")));
    EXPECT_FALSE(recorder->setAudioInputDeviceAfterEngineCreation(AudioInputDevice{}));
    EXPECT_EQ(log.count("[AudioRecorder] 无效的设备ID: "), 1);
    recorder->stopRecording();

    // A server refusing the change: recording goes on with the default.
    devices.failure = QStringLiteral("Access denied");
    ASSERT_TRUE(recorder->startRecording(QStringLiteral("/docs/g.m4a")));
    recorder->stopRecording();
    EXPECT_EQ(log.count("[AudioRecorder] 设置音频输入设备失败: Access denied"), 1);
    EXPECT_EQ(log.count("[AudioRecorder] 音频输入设备设置失败，使用默认设备"), 1);
}

TEST_F(AudioRecorderTest, PermissionIsCheckedAtCreationAndAtStart)
{
    const QString key = QString::fromLatin1(SettingsKey::MicrophonePermission);
    makeRecorder();
    EXPECT_TRUE(settings.boolean(key));

    settings.remove(key);
    permission.setStatus(MicrophonePermission::Status::NotDetermined);
    makeRecorder();
    EXPECT_EQ(permission.requestCount(), 1);
    EXPECT_TRUE(log.printed().contains(QStringLiteral("麦克风权限未授予，录音可能无法正常工作")));
    EXPECT_FALSE(settings.boolean(key));

    // A persisted grant skips the check. At start the rule of both modes:
    // an undetermined status (no microphone found yet) is tried ...
    settings.setBool(key, true);
    permission.setStatus(MicrophonePermission::Status::NotDetermined);
    auto recorder = makeRecorder();
    EXPECT_EQ(permission.requestCount(), 1);
    EXPECT_TRUE(recorder->startRecording(QStringLiteral("/docs/h.m4a")));
    recorder->stopRecording();
    EXPECT_EQ(log.count("[AudioRecorder] 麦克风状态未知，仍尝试录音: 没有可用的麦克风"), 1);
    // ... and only a refusal by the system stops it.
    permission.setStatus(MicrophonePermission::Status::Denied);
    EXPECT_FALSE(recorder->startRecording(QStringLiteral("/docs/h2.m4a")));
    EXPECT_EQ(log.count("[AudioRecorder] 麦克风权限未授予，状态: 2"), 1);
    EXPECT_TRUE(log.printed().contains(QStringLiteral("麦克风权限未授予，无法录音")));
}

} // namespace
} // namespace velnor
