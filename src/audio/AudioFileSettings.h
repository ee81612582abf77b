#pragma once

#include "platform/AudioFormat.h"

#include <QVariantMap>

namespace velnor {

class Logger;

// The recording file's settings dictionary and its adaptation to the input.
namespace AudioFileSettings {

inline constexpr const char* FormatIdKey = "AVFormatIDKey";
inline constexpr const char* SampleRateKey = "AVSampleRateKey";
inline constexpr const char* ChannelCountKey = "AVNumberOfChannelsKey";
inline constexpr const char* QualityKey = "AVEncoderAudioQualityKey";

// "aac " as a big-endian four-character code.
inline constexpr quint32 AacFormatId = 0x61616320u;
inline constexpr int HighQuality = 96;

// The four defaults taken from the input format, with the caller's entries
// copied over them; rate and channel count always come back as the input's
// (with a warning when the caller asked otherwise), since buffers are
// written unconverted.
QVariantMap adapted(const AudioFormat& input, const QVariantMap& userSettings, Logger& log);

// AAC bit rate for a quality value and channel count (bits per second).
int bitRateFor(const QVariantMap& settings);

} // namespace AudioFileSettings
} // namespace velnor
