#pragma once

#include "platform/AudioFormat.h"

#include <functional>
#include <memory>
#include <optional>

namespace velnor {

// Writes PCM buffers as AAC into an MPEG-4 audio file (".m4a"). The file keeps
// the rate and channel count it was opened with; nothing is resampled.
class AacFileWriter {
public:
    AacFileWriter() = default;
    virtual ~AacFileWriter() = default;
    AacFileWriter(const AacFileWriter&) = delete;
    AacFileWriter& operator=(const AacFileWriter&) = delete;

    virtual bool isAvailable() const = 0;
    // Creates the file; `format` is what write() will be given (interleaved
    // Float32). `bitRate` in bits per second, 0 for the writer's choice.
    // Returns the error text on failure.
    virtual std::optional<QString> open(const QString& path, const AudioFormat& format, int bitRate) = 0;
    // Appends one buffer in the opened format; the error text on failure
    // (the buffer is then lost, the file stays usable).
    virtual std::optional<QString> write(const AudioBuffer& buffer) = 0;
    // Flushes the encoder and writes the trailer, so any player opens the
    // file. Safe to call twice; the destructor finishes an open file too.
    virtual std::optional<QString> finish() = 0;
};

using AacFileWriterFactory = std::function<std::unique_ptr<AacFileWriter>()>;

} // namespace velnor
