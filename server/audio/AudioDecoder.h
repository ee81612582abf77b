#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace velnor::server {

// Decodes an uploaded audio file from memory into 16 kHz mono signed 16-bit
// samples. Only self-contained MP4/M4A and WAV files are opened: the file
// cannot make FFmpeg read another file or open a connection.
class AudioDecoder final {
public:
    static constexpr int kSampleRate = 16000;

    struct Limits {
        double maxSeconds = 0;   // more decoded audio than this is refused
        int deadlineMs = 10000;  // decoding that takes longer is stopped
    };

    // None (with *error) when the bytes hold no decodable audio of an allowed
    // container, more than `limits.maxSeconds` of it, or decoding overran its deadline.
    static std::optional<std::vector<std::int16_t>> decode(const QByteArray& file, const Limits& limits,
                                                           QString* error);
};

} // namespace velnor::server
