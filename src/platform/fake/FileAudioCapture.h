#pragma once

#include "platform/AudioCapture.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace velnor {

// A capture that plays PCM (a WAV file or bytes in memory) in buffers of
// the requested size on its own thread, paced like a microphone: buffer n is
// delivered n × buffer duration / speed after start(). When the audio runs
// out, delivery ends (as if the speaker went quiet and the device stopped).
class FileAudioCapture final : public AudioCapture {
public:
    FileAudioCapture(AudioFormat format, QByteArray pcm, double speed = 1.0);
    ~FileAudioCapture() override;

    // None when the file is missing or not 16-bit / 32-bit float PCM WAV.
    static std::unique_ptr<FileAudioCapture> fromWavFile(const QString& path, double speed = 1.0,
                                                         QString* error = nullptr);

    bool isAvailable() const override { return m_format.isValid(); }
    std::optional<AudioFormat> inputFormat() const override;
    std::optional<QString> start(int framesPerBuffer, BufferCallback onBuffer) override;
    void stop() override;

    // Blocks until every buffer was delivered or stop() was called.
    void waitUntilFinished();
    int deliveredBuffers() const { return m_delivered.load(); }
    // How long the file plays, in frames.
    qint64 totalFrames() const { return m_format.bytesPerFrame() > 0 ? m_pcm.size() / m_format.bytesPerFrame() : 0; }

private:
    void run(int framesPerBuffer, BufferCallback onBuffer);

    const AudioFormat m_format;
    const QByteArray m_pcm;
    const double m_speed;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    bool m_finished = false;
    std::atomic<int> m_delivered{0};
    std::thread m_thread;
};

} // namespace velnor
