#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace velnor::server {

// Decodes an uploaded audio file (any container and codec FFmpeg knows: m4a,
// wav, mp3, ogg, ...) from memory into 16 kHz mono signed 16-bit samples.
class AudioDecoder final {
public:
    static constexpr int kSampleRate = 16000;

    // None (with *error) when the bytes hold no decodable audio or more than `maxSeconds` of it.
    static std::optional<std::vector<std::int16_t>> decode(const QByteArray& file, double maxSeconds, QString* error);
};

} // namespace velnor::server
