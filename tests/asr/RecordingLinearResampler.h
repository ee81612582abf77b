#pragma once

#include "asr/TencentASRExample.h"
#include "platform/Resampler.h"

#include <QtEndian>

#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

namespace velnor::test {

// Linear interpolation from any 16-bit mono rate to 16 kHz, continuous
// across buffers; records its output so tests know the exact bytes sent.
class RecordingLinearResampler final : public Resampler {
public:
    explicit RecordingLinearResampler(int inputRate, std::shared_ptr<QByteArray> output, std::shared_ptr<std::mutex> mutex)
        : m_step(double(inputRate) / 16000.0)
        , m_output(std::move(output))
        , m_mutex(std::move(mutex))
    {
    }

    std::optional<AudioBuffer> convert(const AudioBuffer& input) override
    {
        if (input.format.sampleType != SampleType::Int16 || input.format.channelCount != 1)
            return std::nullopt;
        const qint64 frames = input.frameCount();
        std::vector<double> samples(std::size_t(frames + 1));
        samples[0] = m_previous;
        for (qint64 i = 0; i < frames; ++i)
            samples[std::size_t(i + 1)] = qFromLittleEndian<qint16>(input.data.constData() + 2 * i);
        AudioBuffer out{TencentASRExample::targetFormat(), {}};
        // Positions are relative to the previous buffer's last sample (index 0).
        while (m_position <= double(frames)) {
            const auto base = std::size_t(m_position);
            const double frac = m_position - double(base);
            const double next = base + 1 < samples.size() ? samples[base + 1] : samples[base];
            const auto value = qint16(std::lround(samples[base] * (1 - frac) + next * frac));
            char bytes[2];
            qToLittleEndian(value, bytes);
            out.data.append(bytes, 2);
            m_position += m_step;
        }
        m_position -= double(frames);
        m_previous = samples.back();
        std::lock_guard lock(*m_mutex);
        m_output->append(out.data);
        return out;
    }

private:
    double m_step;
    double m_position = 1.0;
    double m_previous = 0;
    std::shared_ptr<QByteArray> m_output;
    std::shared_ptr<std::mutex> m_mutex;
};

} // namespace velnor::test
