#include "platform/fake/FileAudioCapture.h"

#include <QFile>
#include <QtEndian>

#include <chrono>

namespace velnor {

FileAudioCapture::FileAudioCapture(AudioFormat format, QByteArray pcm, double speed)
    : m_format(format)
    , m_pcm(std::move(pcm))
    , m_speed(speed > 0 ? speed : 1.0)
{
}

FileAudioCapture::~FileAudioCapture()
{
    stop();
}

std::unique_ptr<FileAudioCapture> FileAudioCapture::fromWavFile(const QString& path, double speed, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return nullptr;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return fail(QStringLiteral("%1 is not a WAV file").arg(path));

    std::optional<AudioFormat> format;
    QByteArray data;
    qsizetype offset = 12;
    while (offset + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(offset, 4);
        const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + offset + 4);
        const qsizetype body = offset + 8;
        // Streamed WAVs (espeak-ng to a pipe) leave the data size at its maximum.
        const qsizetype available = std::min<qsizetype>(size, bytes.size() - body);
        if (id == "fmt " && available >= 16) {
            const char* f = bytes.constData() + body;
            const quint16 tag = qFromLittleEndian<quint16>(f);
            const quint16 channels = qFromLittleEndian<quint16>(f + 2);
            const quint32 rate = qFromLittleEndian<quint32>(f + 4);
            const quint16 bits = qFromLittleEndian<quint16>(f + 14);
            if (tag == 1 && bits == 16)
                format = AudioFormat{int(rate), int(channels), SampleType::Int16, true};
            else if (tag == 3 && bits == 32)
                format = AudioFormat{int(rate), int(channels), SampleType::Float32, true};
            else
                return fail(QStringLiteral("%1: unsupported WAV encoding %2/%3 bits").arg(path).arg(tag).arg(bits));
        } else if (id == "data") {
            data = bytes.mid(body, available);
        }
        offset = body + available + (available % 2);
    }
    if (!format || !format->isValid())
        return fail(QStringLiteral("%1 has no usable format chunk").arg(path));
    return std::make_unique<FileAudioCapture>(*format, data, speed);
}

std::optional<AudioFormat> FileAudioCapture::inputFormat() const
{
    if (!m_format.isValid())
        return std::nullopt;
    return m_format;
}

std::optional<QString> FileAudioCapture::start(int framesPerBuffer, BufferCallback onBuffer)
{
    if (!m_format.isValid())
        return QStringLiteral("no audio format");
    if (framesPerBuffer <= 0)
        return QStringLiteral("invalid buffer size");
    if (m_thread.joinable())
        return QStringLiteral("capture already started");
    m_thread = std::thread([this, framesPerBuffer, onBuffer = std::move(onBuffer)] { run(framesPerBuffer, onBuffer); });
    return std::nullopt;
}

void FileAudioCapture::run(int framesPerBuffer, BufferCallback onBuffer)
{
    using namespace std::chrono;
    const qsizetype bufferBytes = qsizetype(framesPerBuffer) * m_format.bytesPerFrame();
    const auto bufferDuration = duration<double>(double(framesPerBuffer) / m_format.sampleRate / m_speed);
    const auto begin = steady_clock::now();
    for (qsizetype offset = 0, index = 0; offset < m_pcm.size(); offset += bufferBytes, ++index) {
        // A microphone delivers a buffer once it is full.
        const auto due = begin + duration_cast<steady_clock::duration>(bufferDuration * double(index + 1));
        {
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_until(lock, due, [this] { return m_stopping; }))
                break;
        }
        onBuffer(AudioBuffer{m_format, m_pcm.mid(offset, bufferBytes)});
        ++m_delivered;
    }
    std::lock_guard lock(m_mutex);
    m_finished = true;
    m_wake.notify_all();
}

void FileAudioCapture::waitUntilFinished()
{
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_finished || m_stopping || !m_thread.joinable(); });
}

void FileAudioCapture::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_wake.notify_all();
    }
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

} // namespace velnor
